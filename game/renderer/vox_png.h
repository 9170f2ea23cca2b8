// PNG decoder for the client's pictures: chunk walk, the renderer's own
// inflate, the five row filters, Adam7, and conversion of every accepted
// pixel format to 0xAARRGGBB. The caller states the picture's size; the
// decoder writes only inside it. Files are untrusted: every read is bounded
// by the data's size. One static state: one image at a time.
#pragma once
#include <cstddef>
#include <cstdint>

// A picture: width x height pixels 0xAARRGGBB, lines top to bottom, 4 x width
// bytes per line; allocated by loadpngfile, freed by the caller (std::free).
typedef uint32_t PngImage;

// Sets *out to a new picture of width x height pixels decoded from the PNG
// file at `path`, or to null on any failure (no such file, allocation,
// decoding). Pixels the file does not cover (a smaller picture) are 0.
void loadpngfile(const char *path, PngImage **out, int32_t width, int32_t height);

// Decodes the PNG file held in data[0..size) into `dest` (`pitch` bytes per
// line), writing only columns below `width` and lines below `height`: a larger
// picture is cropped (a non-interlaced one stops inflating once `height` lines
// are done), a smaller one leaves the rest of dest as it was.
// Accepts bit depths 1, 2, 4, 8 with colour types 0 (grey), 2 (RGB), 3
// (palette), 4 (grey + alpha), 6 (RGBA); below 8 bits every sample is
// unpacked from the high bits first and, for types 2, 4 and 6, scaled to
// 0..255 like a grey level. tRNS: one transparent grey level, palette alphas,
// or an 8-bit RGB colour key. Signature, CRCs, zlib header and Adler-32 are
// not checked.
// Returns 0 decoded, -1 refused (the reasons: PngError below; a malformed
// zlib stream as vox_inflate_zlib says). A header's width and height must be
// 1..2^31 - 1. PLTE in a grey image is ignored (it would replace the grey
// ramp); chunks after the image data are not read.
int32_t decodepng(const uint8_t *data, size_t size, void *dest, int32_t pitch, int32_t width, int32_t height);

// Why the last decodepng refused its file.
enum PngError {
    PNG_OK = 0,
    PNG_BAD_CALL,         // null data or dest, size below 1, pitch below 4 x width
    PNG_NO_HEADER,        // image data before any IHDR
    PNG_BAD_HEADER,       // an IHDR value out of range, or IHDR too short
    PNG_LINE_TOO_LONG,    // bytes per line + 1 above 65,536
    PNG_NO_PALETTE,       // palette image without PLTE
    PNG_PALETTE_TOO_BIG,  // PLTE of over 256 entries
    PNG_CHUNK_PAST_END,   // a chunk's length runs past the data
    PNG_NO_IMAGE_DATA,    // the chunks ended without IDAT
    PNG_BAD_STREAM,       // the zlib stream was refused: see vox_inflate_error
    PNG_BAD_FILTER,       // a line's filter type above 4
    PNG_IMAGE_DATA_SHORT, // the stream ended before the lines to be written
};
// The PngError of the last decodepng (PNG_OK after success).
int32_t vox_png_error();
