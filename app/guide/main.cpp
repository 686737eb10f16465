// Builds the user's guide help.pdf: the Markdown text beside the sources, with pictures
// of the program's windows taken offscreen from the program itself.
//
//     arkavo_guide guide.md help.pdf
#include "GuideDocument.h"
#include "GuideShots.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Qt's own dialogs in the pictures speak Chinese, as in the program.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    if (argc != 3) {
        std::fprintf(stderr, "usage: arkavo_guide GUIDE.md OUT.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "arkavo_guide: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(source.readAll());
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    const QMap<QString, QImage> pictures = TakeGuideShots(scratch.path());
    // ARKAVO_GUIDE_PICTURES=<folder> keeps the pictures as PNG files, for looking at.
    if (const QString keep = qEnvironmentVariable("ARKAVO_GUIDE_PICTURES"); !keep.isEmpty())
        for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
            it.value().save(keep + u'/' + it.key() + QStringLiteral(".png"));
    // Written beside the target and renamed, so a failed run leaves no half guide behind.
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString part = out + QStringLiteral(".part");
    if (!WriteGuidePdf(markdown, pictures, part)) {
        QFile::remove(part);
        std::fprintf(stderr, "arkavo_guide: cannot write %s\n", argv[2]);
        return 1;
    }
    QFile::remove(out);
    return QFile::rename(part, out) ? 0 : 1;
}
