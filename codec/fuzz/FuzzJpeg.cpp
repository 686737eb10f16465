// Feeds arbitrary bytes to the JPEG reader and to the header check of PDF output.
#include "Codecs.h"

using namespace arkavo::codec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DecodedPage out;
    decodeJpeg(data, size, out, std::uint64_t(16) << 20);
    JpegInfo info;
    inspectJpeg(data, size, info);
    return 0;
}
