// Feeds arbitrary bytes to the TIFF reader: the first two pages, and the G4 lookup
// that PDF output uses.
#include "Codecs.h"

using namespace arkavo::codec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A smaller cap than the real one keeps each run fast.
    constexpr std::uint64_t kCap = std::uint64_t(16) << 20;
    for (int page = 0; page < 2; ++page) {
        DecodedPage out;
        if (decodeTiff(data, size, page, out, kCap) < 1)
            break;
    }
    G4Data g4;
    findG4Strip(data, size, g4);
    return 0;
}
