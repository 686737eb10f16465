#include "Clipboard.h"
#include "FileHelpers.h"
#include "ImageFiles.h"
#include "Quietly.h"

#include "GrayPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include <arkavo/GlobalBlock.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <cstring>

#include <gtest/gtest.h>

TEST(Helpers, DibBitCountReadsTheHeader)
{
    EXPECT_EQ(DibBitCount(nullptr), 24);
    for (uint16_t bits : {1, 8, 24, 32}) {
        arkavo::GlobalBlock block = arkavo::GlobalBlock::allocate(40);
        arkavo::GlobalLockGuard lock(block.get());
        std::memcpy(lock.data() + 14, &bits, 2);
        EXPECT_EQ(DibBitCount(block.get()), bits);
    }
}

TEST(Helpers, DirectorySizeAndEmptyDirectory)
{
    arkavo::test::TempDir dir;
    const QString base = QString::fromStdString(dir.str());
    ASSERT_TRUE(QDir().mkpath(base + "a/b"));
    for (auto [name, size] : {std::pair{"x.tif", 10}, {"a/y.jpg", 20}, {"a/b/z.bmp", 30}}) {
        QFile f(base + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'p'));
    }
    EXPECT_EQ(DirectorySize(base), 60);
    EmptyDirectory(base.chopped(1));
    EXPECT_TRUE(QDir(base).exists());
    EXPECT_TRUE(QDir(base).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST(Helpers, ClipboardRoundTripInEveryFormat)
{
    arkavo::test::EnsureApp();
    const QString longName = "/tmp/" + QString(300, 'n') + " 文件, 'quoted'.tif";
    const QStringList files = {"/repo/Images/Letters/2024/A/P0000001.tif", longName};

    ASSERT_TRUE(CopyFilesToClipboard(files));
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->data("x-special/gnome-copied-files").startsWith("copy\n"));
    EXPECT_EQ(mime->data("application/x-kde-cutselection"), "0");
    QStringList back;
    ASSERT_TRUE(PasteFilesFromClipboard(back));
    EXPECT_EQ(back, files); // long names are never cut

    // Another program's copies: GNOME's list alone, and KDE's cut selection with URIs.
    auto *gnome = new QMimeData;
    gnome->setData("x-special/gnome-copied-files", "cut\n" + QUrl::fromLocalFile(files[0]).toEncoded() +
                                                       "\n" + QUrl::fromLocalFile(longName).toEncoded());
    QGuiApplication::clipboard()->setMimeData(gnome);
    ASSERT_TRUE(PasteFilesFromClipboard(back));
    EXPECT_EQ(back, files);

    auto *kde = new QMimeData;
    kde->setUrls({QUrl::fromLocalFile(files[0])});
    kde->setData("application/x-kde-cutselection", "1");
    QGuiApplication::clipboard()->setMimeData(kde);
    ASSERT_TRUE(PasteFilesFromClipboard(back));
    EXPECT_EQ(back, QStringList{files[0]});

    QGuiApplication::clipboard()->setText("just text");
    EXPECT_FALSE(PasteFilesFromClipboard(back));
    EXPECT_TRUE(back.isEmpty());
}

TEST(Helpers, SaveImageFileChoosesTheWriterByExtension)
{
    arkavo::test::TempDir dir;
    arkavo::GlobalBlock block = arkavo::test::MakeGrayPage(16, 8, [](int i) { return uint8_t(i * 7); });
    const TCodecImage image{300, 300, block.get()};
    struct Case {
        const char *name;
        int result;
        const char *magic; // first bytes of the written file, null when nothing may be written
    };
    const Case cases[] = {
        {"a.tif", 1, "II*"},      {"B.TIF", 1, "II*"},   {"c.bmp", 1, "BM"},
        {"d.jpg", 1, "\xff\xd8"}, {"e.png", 0, nullptr}, {"noext", 0, nullptr},
    };
    for (const Case &c : cases) {
        const QString file = QString::fromStdString((dir / c.name).string());
        EXPECT_EQ(SaveImageFile(image, file), c.result) << c.name;
        QFile f(file);
        if (!c.magic) {
            EXPECT_FALSE(f.exists()) << c.name;
            continue;
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.name;
        EXPECT_TRUE(f.readAll().startsWith(QByteArray(c.magic))) << c.name;
    }
}

namespace {

QStringList g_logged;

void recordMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (QString::fromLatin1(context.category) == u"arkavo.quiet")
        g_logged << QString::number(type) + u' ' + text;
}

} // namespace

TEST(Quietly, FailuresArePassedOverAndOnlyFaultsOfTheProgramAreReported)
{
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    EXPECT_EQ(arkavo::QuietlyOr("ok", 0, [] { return 7; }), 7);
    EXPECT_EQ(arkavo::QuietlyOr("disk", -1, []() -> int { throw std::runtime_error("disk full"); }), -1);
    EXPECT_FALSE(arkavo::Quietly("other", [] { throw 42; }));
    EXPECT_TRUE(g_logged.isEmpty()) << g_logged.join(u'\n').toStdString(); // off unless asked for
    EXPECT_FALSE(arkavo::Quietly("index", [] { throw std::out_of_range("row 9 of 3"); }));
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_logged.size(), 1);
    EXPECT_TRUE(g_logged[0].startsWith(QString::number(QtCriticalMsg))) << g_logged[0].toStdString();
    EXPECT_TRUE(g_logged[0].contains("index") && g_logged[0].contains("row 9 of 3"));
}
