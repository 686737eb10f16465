// Feeds arbitrary bytes to the BMP reader.
#include "Codecs.h"

using namespace arkavo::codec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DecodedPage out;
    decodeBmp(data, size, out, std::uint64_t(16) << 20);
    return 0;
}
