#include "Globals.h"
#include "IniFile.h"
#include "Startup.h"

#include "QtApp.h"
#include "AsOrdinaryUser.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

void writeText(const QString &file, const QByteArray &text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(StartupSettings, RootPathRules)
{
    struct Case {
        const char *fileName; // settings file to write, or null for none
        const char *content;
        const char *expectedSuffix; // RootPath relative to the configured root, or null for AppPath
    };
    const Case cases[] = {
        {nullptr, "", nullptr},
        {"Settings.ini", "[OTHER]\nROOTPATH=/nowhere\n", nullptr},
        {"Settings.ini", "[SYSTEM]\nROOTPATH=\n", nullptr},
        {"Settings.ini", "[SYSTEM]\nROOTPATH=@ROOT@\n", "/"},
        {"settings.ini", "[system]\r\nrootpath=@ROOT@/\r\n", "//"},
        {"SETTINGS.INI", "; comment\n[SYSTEM]\nOTHER=1\nROOTPATH = @ROOT@\n", "/"},
    };
    for (const Case &c : cases) {
        arkavo::test::TempDir app, root;
        const QString appPath = QString::fromStdString(app.str());
        const QString rootDir = QString::fromStdString(root.path().string());
        if (c.fileName)
            writeText(appPath + c.fileName, QByteArray(c.content).replace("@ROOT@", rootDir.toUtf8()));
        EXPECT_EQ(LoadStartupSettingsFrom(appPath), 1);
        EXPECT_EQ(AppPath, appPath);
        EXPECT_EQ(RootPath, c.expectedSuffix ? rootDir + c.expectedSuffix : appPath) << c.content;
        EXPECT_TRUE(QFileInfo(appPath + "Thumbnail").isDir());
    }
}

// The store refuses relative paths, so a relative or "~" value must not leave it without a root.
TEST(StartupSettings, RelativeRootPathIsResolvedToAnAbsoluteFolder)
{
    struct Case {
        const char *value;
        QString expected; // with @APP@ standing for AppPath and @HOME@ for the home folder
    };
    const Case cases[] = {
        {"rel/dir", "@APP@rel/dir/"}, {"./x/../y", "@APP@y/"}, {"~/scans", "@HOME@/scans/"}, {"~", "@HOME@/"},
        {"/abs/", "/abs//"},
    };
    arkavo::test::TempDir app;
    const QString appPath = QString::fromStdString(app.str());
    const QString home = QDir::cleanPath(QDir::homePath());
    for (const Case &c : cases) {
        writeText(appPath + "Settings.ini", QByteArray("[SYSTEM]\nROOTPATH=") + c.value + "\n");
        LoadStartupSettingsFrom(appPath);
        const QString expected = QString(c.expected).replace("@APP@", appPath).replace("@HOME@", home);
        EXPECT_EQ(RootPath.toStdString(), expected.toStdString()) << c.value;
        EXPECT_TRUE(QDir::isAbsolutePath(RootPath)) << c.value;
    }
}

// A program that cannot write beside itself (installed for every user) keeps its
// files in the user's data folder; a writable one (a build folder) beside itself.
TEST(StartupSettings, ProgramFolderIsBesideTheProgramOnlyWhenItCanBeWritten)
{
    struct Case {
        bool writable;
        const char *xdgDataHome;
        const char *home;
        const char *expected;
    };
    const Case cases[] = {
        {true, "/x/data", "/h/user", "/opt/arkavo/"},
        {true, "", "", "/opt/arkavo/"},
        {false, "/x/data", "/h/user", "/x/data/arkavo/"},
        {false, "/x/data/", "/h/user", "/x/data/arkavo/"},
        {false, "", "/h/user", "/h/user/.local/share/arkavo/"},
        {false, "relative/data", "/h/user", "/h/user/.local/share/arkavo/"},
        {false, "/x/data", "", "/x/data/arkavo/"},
        {false, "", "/h/user/", "/h/user/.local/share/arkavo/"},
        {false, "", "", "/opt/arkavo/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ProgramFolderFor("/opt/arkavo", c.writable, c.xdgDataHome, c.home).toStdString(),
                  c.expected)
            << c.writable << " '" << c.xdgDataHome << "' '" << c.home << "'";
}

TEST(IniFile, WritingOneKeyKeepsTheRestAndMatchesAnyCase)
{
    arkavo::test::TempDir dir;
    const QString file = QString::fromStdString(dir.str()) + "settings.ini";
    writeText(file, "[SYSTEM]\nROOTPATH=/data\n\n[ImagePorcess]\n; keep me\nDESKEW=1\n");
    EXPECT_EQ(SettingsFileIn(QString::fromStdString(dir.str())), file);

    IniFile ini(file);
    ASSERT_TRUE(ini.writeString("imageporcess", "deskew", "0"));
    ASSERT_TRUE(ini.writeInteger("ImagePorcess", "Threshold", 128));
    ASSERT_TRUE(ini.writeString("NEW", "Key", "值"));
    EXPECT_EQ(ini.readString("system", "rootpath"), "/data");
    EXPECT_EQ(ini.readInteger("ImagePorcess", "DESKEW", 7), 0);
    EXPECT_EQ(ini.readInteger("ImagePorcess", "THRESHOLD", 7), 128);
    EXPECT_EQ(ini.readString("new", "key"), "值");
    EXPECT_EQ(ini.readInteger("ImagePorcess", "missing", 7), 7);

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("; keep me"));
    EXPECT_LT(text.indexOf("Threshold=128"), text.indexOf("[NEW]"));

    EXPECT_EQ(IniFile(QString::fromStdString(dir.str()) + "absent.ini").readString("SYSTEM", "ROOTPATH", "d"),
              "d");
}

TEST(IniFile, AFileThatCannotBeReadIsNeverWrittenOver)
{
    arkavo::test::TempDir dir;
    const QString base = QString::fromStdString(dir.str());
    const QString file = base + "Settings.ini";
    const QByteArray content = "[SYSTEM]\nROOTPATH=/data\n[ImagePorcess]\nDESKEW=1\n";
    writeText(file, content);
    ASSERT_TRUE(QFile::setPermissions(base, QFileDevice::Permissions(0x7777)));
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::Permissions()));
    {
        arkavo::test::FileAccessAsNobody nobody;
        // The folder takes new files, so only the unreadable file stops the write.
        ASSERT_TRUE(QFile(file).open(QIODevice::ReadOnly) == false);
        writeText(base + "probe", "x");
        ASSERT_TRUE(QFile::remove(base + "probe"));

        IniFile ini(file);
        EXPECT_EQ(ini.readString("SYSTEM", "ROOTPATH", "d"), "d");
        EXPECT_FALSE(ini.writeString("SYSTEM", "ROOTPATH", "/elsewhere"));
        EXPECT_FALSE(ini.writeInteger("ImagePorcess", "DESKEW", 0));
    }
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), content);
    EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Settings.ini"});
}
