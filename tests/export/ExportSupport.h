#pragma once
// Page files and outside tools for the export tests.
#include "codec.h"

#include "PatternPage.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <tiffio.h>

#include <filesystem>
#include <vector>

namespace exporttest {

// A small page file: 1 bit as a G4 TIFF, 8 bits as an uncompressed grey TIFF, 24 bits
// as a JPEG (the ways the scan panel stores pages). Returns its path.
inline QString WritePage(const QString &path, int bits, int seed = 0)
{
    QDir().mkpath(QFileInfo(path).path());
    arkavo::GlobalBlock dib = arkavo::test::MakePatternPage(160, 220, bits, [&](uint8_t *row, int x, int y) {
        const bool ink = ((x + seed * 7) / 9 + y / 11) % 4 == 0;
        if (bits == 1) {
            if (!ink)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        } else if (bits == 8) {
            row[x] = ink ? uint8_t(20 + seed) : uint8_t(200 + (x + y) % 40);
        } else {
            row[3 * x] = uint8_t(x + seed), row[3 * x + 1] = uint8_t(y), row[3 * x + 2] = ink ? 30 : 220;
        }
    });
    TCodecImage image{300, 300, dib.get()};
    const QByteArray name = path.toUtf8();
    const int ok = bits == 24
                       ? SaveJPG(&image, name.constData())
                       : SaveTIF(&image, name.constData(), bits == 1 ? CODEC_TIFF_G4 : CODEC_TIFF_NONE, 0);
    return ok == 1 ? path : QString();
}

inline QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below Dir, relative to it, sorted; hidden ones too.
inline QStringList FilesBelow(const QString &dir)
{
    QStringList files;
    namespace fs = std::filesystem;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir.toStdString(), ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
        if (std::error_code gone; it->is_regular_file(gone)) // a file that vanished meanwhile is passed over
            files << QDir(dir).relativeFilePath(QString::fromStdString(it->path().string()));
    files.sort();
    return files;
}

inline bool HasTool(const char *name)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// Runs a tool; its standard output, or a null array when it did not end with status 0.
inline QByteArray RunTool(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return {};
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// Compression of each directory of a TIFF, read back with libtiff.
inline std::vector<int> TiffCompressions(const QString &path)
{
    std::vector<int> codes;
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return codes;
    do {
        uint16_t c = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &c);
        codes.push_back(c);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return codes;
}

} // namespace exporttest
