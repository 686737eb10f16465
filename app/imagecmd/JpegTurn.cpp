#include "JpegTurn.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The codec refuses to decode pages whose pixels need more than this; the coefficients of
// the turn take about as much, so a larger page is left to that path too.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t(1) << 30;
// The codec refuses progressive files with more scans than this: they take minutes.
constexpr int kMaxScans = 500;

struct FileContent {
    std::vector<unsigned char> bytes;
    mode_t mode = 0;
};

std::optional<FileContent> readFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    // No page file comes near 4 GiB; a larger one is not worth reading into memory.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > 0xFFFFFFFF)
        return std::nullopt;
    FileContent content;
    content.mode = st.st_mode & 07777;
    content.bytes.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < content.bytes.size()) {
        const ssize_t n = ::read(fd, content.bytes.data() + done, content.bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += std::size_t(n);
    }
    return content;
}

bool startsAsJpeg(const std::vector<unsigned char> &data)
{
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// Start-of-scan markers in the file. Entropy-coded data never holds FF DA, so this counts
// every scan; a thumbnail inside an APP segment adds its own, which only errs on the safe side.
int countScans(const std::vector<unsigned char> &data)
{
    int scans = 0;
    const unsigned char *p = data.data();
    const unsigned char *end = p + data.size();
    while (scans <= kMaxScans && (p = static_cast<const unsigned char *>(std::memchr(p, 0xFF, end - p)))) {
        if (++p < end && *p == 0xDA)
            ++scans;
    }
    return scans;
}

bool pageTooLarge(tjhandle handle, const std::vector<unsigned char> &data)
{
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, data.data(), static_cast<unsigned long>(data.size()), &width, &height,
                            &subsamp, &colorspace) != 0)
        return true;
    const int components = subsamp == TJSAMP_GRAY                                 ? 1
                           : (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) ? 4
                                                                                  : 3;
    return width <= 0 || height <= 0 ||
           std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(components) > kMaxPixelBytes;
}

TJXOP operationFor(JpegTurn turn)
{
    switch (turn) {
    case JpegTurn::Mirror:
        return TJXOP_HFLIP;
    case JpegTurn::Flip:
        return TJXOP_VFLIP;
    case JpegTurn::Right90:
        return TJXOP_ROT90;
    case JpegTurn::Left90:
        return TJXOP_ROT270;
    case JpegTurn::Half:
        return TJXOP_ROT180;
    }
    return TJXOP_NONE;
}

std::uint16_t get16(const unsigned char *p, bool bigEndian)
{
    return bigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

std::uint32_t get32(const unsigned char *p, bool bigEndian)
{
    return bigEndian ? std::uint32_t(get16(p, true)) << 16 | get16(p + 2, true)
                     : std::uint32_t(get16(p + 2, false)) << 16 | get16(p, false);
}

// Where a JPEG file keeps the resolution across and along the page: the two densities of
// the JFIF segment, and the value fields of the X and Y resolution entries of the first
// EXIF directory (each the offset of its rational). Offsets from the file's start; 0 = none.
struct DensityFields {
    std::size_t jfifX = 0;
    std::size_t jfifY = 0;
    std::size_t exifX = 0;
    std::size_t exifY = 0;
};

void findExifFields(const unsigned char *tiff, std::size_t size, std::size_t base, DensityFields &fields)
{
    if (size < 8 || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')))
        return;
    const bool be = tiff[0] == 'M';
    if (get16(tiff + 2, be) != 42)
        return;
    const std::uint32_t ifd = get32(tiff + 4, be);
    if (ifd < 8 || ifd > size - 2)
        return;
    const std::size_t count = get16(tiff + ifd, be);
    if (count > (size - ifd - 2) / 12)
        return;
    std::size_t x = 0, y = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        const std::uint16_t tag = get16(tiff + entry, be);
        // One RATIONAL (type 5), whose 8 bytes lie inside the segment.
        if ((tag != 0x011A && tag != 0x011B) || get16(tiff + entry + 2, be) != 5 ||
            get32(tiff + entry + 4, be) != 1)
            continue;
        const std::uint32_t value = get32(tiff + entry + 8, be);
        if (value < 8 || value > size - 8)
            continue;
        (tag == 0x011A ? x : y) = base + entry + 8;
    }
    if (x && y) {
        fields.exifX = x;
        fields.exifY = y;
    }
}

DensityFields findDensityFields(const unsigned char *data, std::size_t size)
{
    DensityFields fields;
    std::size_t pos = 2;
    while (pos + 4 <= size && data[pos] == 0xFF) {
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        const std::size_t length = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            break;
        const unsigned char *segment = data + pos + 4;
        const std::size_t segmentSize = length - 2;
        if (marker == 0xE0 && !fields.jfifX && segmentSize >= 14 && std::memcmp(segment, "JFIF", 5) == 0) {
            fields.jfifX = pos + 4 + 8;
            fields.jfifY = pos + 4 + 10;
        } else if (marker == 0xE1 && !fields.exifX && segmentSize >= 14 &&
                   std::memcmp(segment, "Exif\0", 6) == 0) {
            findExifFields(segment + 6, segmentSize - 6, pos + 4 + 6, fields);
        }
        pos += 2 + length;
    }
    return fields;
}

// The library copies the densities as they were; across the turned page is what was along
// the original one. Each pair is swapped unless it already reads the other way round.
void swapDensities(const std::vector<unsigned char> &source, unsigned char *out, std::size_t outSize)
{
    const DensityFields from = findDensityFields(source.data(), source.size());
    const DensityFields to = findDensityFields(out, outSize);
    const auto swapIfUnchanged = [&](std::size_t fx, std::size_t fy, std::size_t tx, std::size_t ty,
                                     std::size_t width) {
        if (!fx || !tx)
            return;
        const bool same = std::memcmp(source.data() + fx, out + tx, width) == 0 &&
                          std::memcmp(source.data() + fy, out + ty, width) == 0;
        if (same)
            std::swap_ranges(out + tx, out + tx + width, out + ty);
    };
    swapIfUnchanged(from.jfifX, from.jfifY, to.jfifX, to.jfifY, 2);
    swapIfUnchanged(from.exifX, from.exifY, to.exifX, to.exifY, 4);
}

bool writeAll(int fd, const unsigned char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Writes Data beside Path under a scratch name the page store clears away after a crash,
// and renames it over Path once it is on disk. On failure Path is untouched and the
// scratch file gone.
bool replaceFile(const QString &path, const unsigned char *data, std::size_t size, mode_t mode)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray scratch = QFile::encodeName(QFileInfo(path).absolutePath() + "/.part-" +
                                                 QUuid::createUuid().toString(QUuid::WithoutBraces));
    const int fd = ::open(scratch.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // The turned page is readable by whoever could read the original.
    ::fchmod(fd, mode);
    bool ok = writeAll(fd, data, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(scratch.constData(), target.constData()) != 0) {
        ::unlink(scratch.constData());
        return false;
    }
    return true;
}

} // namespace

JpegTurnResult TurnJpegFile(const QString &path, JpegTurn turn)
{
    const std::optional<FileContent> file = readFile(QFile::encodeName(path));
    if (!file || !startsAsJpeg(file->bytes) || countScans(file->bytes) > kMaxScans)
        return JpegTurnResult::NotPossible;

    tjhandle handle = tjInitTransform();
    if (!handle)
        return JpegTurnResult::NotPossible;
    const auto destroy = qScopeGuard([handle] { tjDestroy(handle); });
    if (pageTooLarge(handle, file->bytes))
        return JpegTurnResult::NotPossible;

    tjtransform transform{};
    transform.op = operationFor(turn);
    // Refuse rather than drop the partial blocks at an edge that the turn would move.
    transform.options = TJXOPT_PERFECT;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const auto release = qScopeGuard([&out] { tjFree(out); });
    // A warning means damaged data, which the turn would pass on as a sound-looking file.
    if (tjTransform(handle, file->bytes.data(), static_cast<unsigned long>(file->bytes.size()), 1, &out,
                    &outSize, &transform, TJFLAG_STOPONWARNING) != 0 ||
        !out || outSize == 0)
        return JpegTurnResult::NotPossible;

    if (turn == JpegTurn::Right90 || turn == JpegTurn::Left90)
        swapDensities(file->bytes, out, outSize);
    return replaceFile(path, out, outSize, file->mode) ? JpegTurnResult::Turned : JpegTurnResult::WriteFailed;
}
