#include "Globals.h"
#include "ImageProcSettings.h"
#include "TFormImgProcSetting.h"
#include "TSpinEdit.h"

#include "QtApp.h"
#include "AsOrdinaryUser.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

namespace {

using Key = ImageProcSettings::Key;

// The seven values in the order of ImageProcSettings::Key.
using Seven = std::array<int, ImageProcSettings::KeyCount>;
const Seven kDefaults = {3, 5, 7, 100, 200, 1, 80};

// A program folder of its own for each test, with AppPath pointing at it.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        m_oldAppPath = AppPath;
        AppPath = QString::fromStdString(m_app.str());
    }
    void TearDown() override { AppPath = m_oldAppPath; }

    static void writeText(const QString &file, const QByteArray &text)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static QByteArray readText(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static Seven fieldValues(const TFormImgProcSetting &form)
    {
        Seven values{};
        for (int k = 0; k < ImageProcSettings::KeyCount; ++k)
            values[k] = form.Field(Key(k))->Value();
        return values;
    }
    static Seven inForce(const TFormImgProcSetting &form)
    {
        const ImageProcSettings s = form.Values();
        Seven values{};
        for (int k = 0; k < ImageProcSettings::KeyCount; ++k)
            values[k] = s.Value(Key(k));
        return values;
    }
    // The dialog shown and active, so that keys and focus changes reach its fields.
    static std::unique_ptr<TFormImgProcSetting> shownForm()
    {
        auto form = std::make_unique<TFormImgProcSetting>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    // Replaces the field's text by typing, as the user would.
    static void typeInto(TSpinEdit *field, const QString &text)
    {
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, text);
    }

    QString file(const char *name = "Settings.ini") const { return AppPath + name; }

    arkavo::test::TempDir m_app;
    QString m_oldAppPath;
};

const char kStoredValues[] =
    "[ImagePorcess]\n"
    "Noise_Small=2\nNoise_MEDIUM=4\nNoise_Large=8\nAutoCrop_EdgeWidth=50\n"
    "BlankPage_Threshold=190\nBlankPage_MaxBlack=5\nRemoveBlackBorder_Threshold=60\n";
const Seven kStored = {2, 4, 8, 50, 190, 5, 60};

} // namespace

TEST_F(SettingsDialog, WithoutTheFileOrItsSectionTheDefaultsAreInForce)
{
    for (const char *content : {static_cast<const char *>(nullptr), "[SYSTEM]\nROOTPATH=/data\n"}) {
        if (content)
            writeText(file(), content);
        TFormImgProcSetting form;
        EXPECT_EQ(fieldValues(form), kDefaults) << (content ? content : "no file");
        EXPECT_EQ(inForce(form), kDefaults);
        EXPECT_EQ(form.Values(), ImageProcSettings());
        EXPECT_EQ(form.spinedt_BlankPage_Threshold->text(), "200");
    }
}

TEST_F(SettingsDialog, StoredValuesAreClampedAndUnreadableOnesFallBackToTheDefault)
{
    // Section and keys in another letter case are the same ones.
    writeText(file(), "[SYSTEM]\nROOTPATH=/data\n[imageporcess]\n"
                      "noise_small=0\nNOISE_MEDIUM=12\nNoise_Large=abc\nAutoCrop_EdgeWidth=99999999999\n"
                      "BlankPage_Threshold=-3\nBlankPage_MaxBlack=1001\nRemoveBlackBorder_Threshold= 17 \n");
    TFormImgProcSetting form;
    const Seven expected = {1, 9, 7, 1000, 0, 1000, 17};
    EXPECT_EQ(fieldValues(form), expected);
    EXPECT_EQ(form.spinedt_Noise_M->text(), "9");

    ImageProcSettings read;
    ASSERT_TRUE(read.Read(file()));
    EXPECT_EQ(read, form.Values());
}

TEST_F(SettingsDialog, TypedTextIsReadAsAWholeNumberAndClampedWhenTheFieldIsLeft)
{
    struct Case {
        Key key;
        const char *typed;
        int whileTyping; // the field's value before it loses the focus
        const char *afterLeaving;
    };
    const Case cases[] = {
        {ImageProcSettings::NoiseSmall, "20", 20, "9"},
        {ImageProcSettings::NoiseMedium, "abc", 1, "1"},
        {ImageProcSettings::NoiseLarge, "", 1, "1"},
        {ImageProcSettings::NoiseLarge, "4x", 1, "1"},
        {ImageProcSettings::AutoCropEdgeWidth, "99999999999", std::numeric_limits<int>::max(), "1000"},
        {ImageProcSettings::AutoCropEdgeWidth, "0", 0, "1"},
        {ImageProcSettings::BlankPageThreshold, "-5", -5, "0"},
        {ImageProcSettings::BlankPageMaxBlack, "-99999999999", std::numeric_limits<int>::min(), "1"},
        {ImageProcSettings::RemoveBlackBorderThreshold, " 42 ", 42, "42"},
        {ImageProcSettings::RemoveBlackBorderThreshold, "+255", 255, "255"},
    };
    auto form = shownForm();
    for (const Case &c : cases) {
        TSpinEdit *field = form->Field(c.key);
        typeInto(field, QString::fromLatin1(c.typed));
        ASSERT_TRUE(field->hasFocus());
        EXPECT_EQ(field->Value(), c.whileTyping) << c.typed;
        // What is in force is clamped even before the field is left.
        EXPECT_EQ(form->Values().Value(c.key), ImageProcSettings::Clamp(c.key, c.whileTyping)) << c.typed;
        QTest::keyClick(field, Qt::Key_Tab);
        ASSERT_FALSE(field->hasFocus());
        EXPECT_EQ(field->text(), c.afterLeaving) << c.typed;
    }
}

TEST_F(SettingsDialog, ArrowKeysStepWithinTheRange)
{
    struct Case {
        const char *typed;
        Qt::Key key;
        const char *after;
    };
    // A speck size field, 1..9.
    const Case cases[] = {
        {"5", Qt::Key_Up, "6"},   {"5", Qt::Key_Down, "4"},  {"9", Qt::Key_Up, "9"},
        {"1", Qt::Key_Down, "1"}, {"20", Qt::Key_Down, "8"}, {"abc", Qt::Key_Up, "2"},
    };
    auto form = shownForm();
    TSpinEdit *field = form->spinedt_Noise_S;
    for (const Case &c : cases) {
        typeInto(field, QString::fromLatin1(c.typed));
        QTest::keyClick(field, c.key);
        EXPECT_EQ(field->text(), c.after) << c.typed << " " << c.key;
    }
}

TEST_F(SettingsDialog, CancelRestoresTheStoredValues)
{
    writeText(file(), kStoredValues);
    using Close = void (*)(TFormImgProcSetting &);
    const std::pair<const char *, Close> ways[] = {
        {"button", [](TFormImgProcSetting &f) { QTest::mouseClick(f.btn_Cancel, Qt::LeftButton); }},
        {"Escape", [](TFormImgProcSetting &f) { QTest::keyClick(f.focusWidget(), Qt::Key_Escape); }},
        {"close box", [](TFormImgProcSetting &f) { f.close(); }},
    };
    for (const auto &[name, closeForm] : ways) {
        auto form = shownForm();
        typeInto(form->spinedt_Noise_S, "7");
        typeInto(form->spinedt_AutoCrop_EdgeWidth, "20");
        QTest::keyClick(form->spinedt_AutoCrop_EdgeWidth, Qt::Key_Up);
        typeInto(form->spinedt_BlankPage_MaxBlack, "x");
        closeForm(*form);
        EXPECT_FALSE(form->isVisible()) << name;
        EXPECT_EQ(form->result(), QDialog::Rejected) << name;
        EXPECT_EQ(fieldValues(*form), kStored) << name;
        EXPECT_EQ(readText(file()), kStoredValues) << name;
    }
}

TEST_F(SettingsDialog, OkWritesAllSevenKeysAndKeepsTheRestOfTheFile)
{
    const QByteArray before = "[SYSTEM]\nROOTPATH=/data\n\n[ImagePorcess]\n; chosen for the old scanner\n"
                              "Noise_Small=4\nDESKEW=1\n\n[Other]\nx=1\n";
    writeText(file(), before);
    auto form = shownForm();
    QTest::mouseClick(form->btn_Ok, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);

    const QString text = QString::fromUtf8(readText(file()));
    const Seven expected = {4, 5, 7, 100, 200, 1, 80};
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k) {
        const auto &rule = ImageProcSettings::RuleOf(Key(k));
        const QString line = QString::fromLatin1(rule.key) + '=' + QString::number(expected[k]) + '\n';
        EXPECT_EQ(text.count(line), 1) << rule.key << "\n" << text.toStdString();
    }
    for (const char *kept :
         {"[SYSTEM]\nROOTPATH=/data\n", "; chosen for the old scanner\n", "DESKEW=1\n", "[Other]\nx=1\n"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(kept))) << kept;
    EXPECT_EQ(text.count("[ImagePorcess]"), 1);
    EXPECT_LT(text.indexOf("RemoveBlackBorder_Threshold"), text.indexOf("[Other]"));
    EXPECT_EQ(fieldValues(*form), expected);
}

// Enter takes OK without leaving the field: the value written and shown is the clamped one.
TEST_F(SettingsDialog, OkByEnterStoresTheClampedValueOfTheFieldBeingEdited)
{
    auto form = shownForm();
    typeInto(form->spinedt_Noise_L, "20");
    QTest::keyClick(form->spinedt_Noise_L, Qt::Key_Return);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->spinedt_Noise_L->text(), "9");
    EXPECT_TRUE(QString::fromUtf8(readText(file())).contains("Noise_Large=9\n"));

    TFormImgProcSetting again;
    EXPECT_EQ(again.Values(), form->Values());
}

TEST_F(SettingsDialog, ASettingsFileInLowerCaseIsTheOneUsed)
{
    writeText(file("settings.ini"), "[SYSTEM]\nROOTPATH=/data\n[ImagePorcess]\nNoise_Small=2\n");
    auto form = shownForm();
    EXPECT_EQ(form->spinedt_Noise_S->Value(), 2);
    typeInto(form->spinedt_Noise_M, "6");
    form->btn_OkClick();
    EXPECT_EQ(QDir(AppPath).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});
    const QString text = QString::fromUtf8(readText(file("settings.ini")));
    EXPECT_TRUE(text.contains("ROOTPATH=/data\n"));
    EXPECT_TRUE(text.contains("Noise_MEDIUM=6\n"));
}

// A folder where the file should be can be neither read nor written.
TEST_F(SettingsDialog, ASettingsPathThatIsAFolderLeavesTheFieldsAsTheyWere)
{
    ASSERT_TRUE(QDir(AppPath).mkdir("Settings.ini"));
    auto form = shownForm();
    EXPECT_EQ(fieldValues(*form), kDefaults);
    typeInto(form->spinedt_Noise_S, "2");
    QTest::keyClick(form->spinedt_Noise_S, Qt::Key_Tab);
    form->btn_OkClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->spinedt_Noise_S->Value(), 2);
    EXPECT_TRUE(QFileInfo(file()).isDir());

    form->show();
    form->btn_CancelClick();
    EXPECT_EQ(form->spinedt_Noise_S->Value(), 2);
}

TEST_F(SettingsDialog, AFileThatCannotBeWrittenStaysAsItWasAndTheFieldsKeepTheirValues)
{
    writeText(file(), kStoredValues);
    namespace fs = std::filesystem;
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::perms search = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(file().toStdString(), readOnly);
    fs::permissions(m_app.path(), readOnly | search);
    {
        arkavo::test::FileAccessAsNobody nobody;
        auto form = shownForm();
        EXPECT_EQ(fieldValues(*form), kStored);
        typeInto(form->spinedt_AutoCrop_EdgeWidth, "300");
        form->btn_OkClick();
        EXPECT_EQ(form->result(), QDialog::Accepted);
        EXPECT_EQ(form->spinedt_AutoCrop_EdgeWidth->Value(), 300);
        EXPECT_EQ(readText(file()), kStoredValues);
    }
    fs::permissions(m_app.path(), fs::perms::owner_all);
    EXPECT_EQ(QDir(AppPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Settings.ini"});
}

// Cancel discards the edits even when the file cannot be read back.
TEST_F(SettingsDialog, CancelWithAFileThatCannotBeReadReturnsToTheValuesItOpenedWith)
{
    writeText(file(), kStoredValues);
    auto form = std::make_unique<TFormImgProcSetting>();
    ASSERT_EQ(fieldValues(*form), kStored);
    ASSERT_TRUE(QFile::setPermissions(file(), QFileDevice::Permissions()));
    {
        arkavo::test::FileAccessAsNobody nobody;
        ASSERT_FALSE(ImageProcSettings().Read(file()));
        form->show();
        typeInto(form->spinedt_BlankPage_Threshold, "10");
        QTest::keyClick(form->spinedt_BlankPage_Threshold, Qt::Key_Tab);
        form->btn_CancelClick();
        EXPECT_EQ(fieldValues(*form), kStored);
        // Nor is such a file written over on OK.
        form->show();
        typeInto(form->spinedt_BlankPage_Threshold, "10");
        form->btn_OkClick();
        EXPECT_EQ(form->spinedt_BlankPage_Threshold->Value(), 10);
    }
    ASSERT_TRUE(QFile::setPermissions(file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readText(file()), kStoredValues);
}

TEST_F(SettingsDialog, LayoutCaptionsAndFirstFocus)
{
    auto form = shownForm();
    EXPECT_EQ(form->objectName(), "FormImgProcSetting");
    EXPECT_EQ(form->windowTitle(), "图像处理设置");
    EXPECT_EQ(QApplication::focusWidget(), form->spinedt_AutoCrop_EdgeWidth);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - screenCentre).manhattanLength(), 2);

    auto labelsOf = [](QGroupBox *group) {
        QStringList texts;
        for (const QLabel *label : group->findChildren<QLabel *>())
            texts << label->text();
        return texts;
    };
    EXPECT_EQ(form->GroupBox1->title(), "去污渍");
    EXPECT_EQ(labelsOf(form->GroupBox1), (QStringList{"污渍尺寸（像素）", "小", "中", "大"}));
    EXPECT_EQ(form->GroupBox2->title(), "智能裁减");
    EXPECT_EQ(labelsOf(form->GroupBox2), QStringList{"保留边缘宽度（像素）"});
    EXPECT_EQ(form->GroupBox3->title(), "搜索空白页");
    EXPECT_EQ(labelsOf(form->GroupBox3), (QStringList{"灰度阈值", "黑点最大千分比"}));
    EXPECT_EQ(form->GroupBox4->title(), "去黑边");
    EXPECT_EQ(labelsOf(form->GroupBox4), QStringList{"灰度阈值"});
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k) {
        const auto &rule = ImageProcSettings::RuleOf(Key(k));
        EXPECT_EQ(form->findChild<TSpinEdit *>(rule.field), form->Field(Key(k))) << rule.field;
    }
    EXPECT_EQ(form->spinedt_Noise_M->parentWidget(), form->GroupBox1);
    EXPECT_EQ(form->spinedt_BlankPage_MaxBlack->parentWidget(), form->GroupBox3);
    EXPECT_EQ(form->btn_Ok->text(), "确定");
    EXPECT_EQ(form->btn_Cancel->text(), "取消");
    EXPECT_TRUE(form->btn_Ok->isFlat());
    EXPECT_TRUE(form->btn_Cancel->isFlat());
}
