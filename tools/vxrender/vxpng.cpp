// libpng writer and reader for frames.
#include "vxpng.h"

#include <png.h>

#include <cstdio>
#include <vector>

int vxpng_write(const char *path, const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return 0;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)width * 3);
    for (int32_t y = 0; y < height; y++) {
        const uint8_t *src = pixels + (size_t)y * (size_t)pitch;
        for (int32_t x = 0; x < width; x++) {
            row[3 * x + 0] = src[4 * x + 2];
            row[3 * x + 1] = src[4 * x + 1];
            row[3 * x + 2] = src[4 * x + 0];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 ? 1 : 0;
}

int vxpng_read(const char *path, uint32_t **pixels, int32_t *width, int32_t *height)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path)) return 0;
    img.format = PNG_FORMAT_BGRA;
    uint32_t *buf = new uint32_t[(size_t)img.width * img.height];
    if (!png_image_finish_read(&img, nullptr, buf, (png_int_32)(img.width * 4), nullptr)) {
        delete[] buf;
        png_image_free(&img);
        return 0;
    }
    *pixels = buf;
    *width = (int32_t)img.width;
    *height = (int32_t)img.height;
    return 1;
}
