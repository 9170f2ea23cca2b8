// assetgen: writes every data file the client loads into one folder (the
// client's ready-to-run folder): kv6/, png/, fonts/, wav/ and controls.ini.
#include <chrono>
#include <cstdio>

#include "ag_files.h"
#include "common/kv6_dirtable.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: assetgen OUTDIR TYPEFACE.ttf\n"
                             "TYPEFACE: a monospace bold TrueType font, e.g.\n"
                             "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf\n");
        return 2;
    }
    auto t0 = std::chrono::steady_clock::now();
    builddirtable(255);
    if (!asset_write_all(argv[1], argv[2])) return 1;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("assetgen: wrote %s in %.0f ms\n", argv[1], ms);
    return 0;
}
