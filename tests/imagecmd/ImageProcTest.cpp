// The image commands in the main window, on real page files: the selected pages of the
// list, the page list's pop-up copy of the image menu, the angle dialog, the viewer's page
// in single-page mode, and a page folder that cannot be written.
#include "ImageOperation.h"
#include "PageListView.h"
#include "TFormImgProcSetting.h"
#include "TFormSetAngle.h"
#include "TSpinEdit.h"
#include "CommandTable.h"

#include "AsOrdinaryUser.h"
#include "GrayPage.h"
#include "ViewerFixture.h"

#include "codec.h"
#include "ovisco/OviscoInterface.h"
#include "pixolve.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cstring>
#include <functional>

using arkavo::GlobalBlock;

namespace {

// A grey page whose pixels differ from left to right and from top to bottom, so that every
// turn and mirror of it is told apart.
GlobalBlock gradient(int width, int height)
{
    const int stride = (width + 3) & ~3;
    return arkavo::test::MakeGrayPage(width, height,
                                      [=](int i) { return uint8_t((i % stride) * 3 + (i / stride) * 7); });
}

GlobalBlock loadPage(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    LoadFile(QFile::encodeName(path).constData(), &image, 0);
    return GlobalBlock(image.Dib);
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::pair<int, int> sizeOf(HGLOBAL dib)
{
    if (!dib)
        return {0, 0};
    arkavo::GlobalLockGuard lock(dib);
    int32_t wh[2];
    std::memcpy(wh, lock.data() + 4, sizeof wh);
    return {wh[0], wh[1]};
}

// The pixels of a page block, without the header (resolutions may differ).
QByteArray pixelsOf(HGLOBAL dib)
{
    if (!dib)
        return {};
    arkavo::GlobalLockGuard lock(dib);
    return QByteArray(reinterpret_cast<const char *>(lock.data()) + 40, int(GlobalSize(dib)) - 40);
}

class ImageCommands : public ViewerWindows {
protected:
    QString pagePath(int n) const
    {
        return store->ImagesPath + type->text(0) + "/F/A/" + QString("P%1.tif").arg(n, 7, 10, QChar('0'));
    }
    void writePage(int n, HGLOBAL dib)
    {
        const QString path = pagePath(n);
        QDir().mkpath(QFileInfo(path).path());
        const TCodecImage image{300, 300, dib};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), CODEC_TIFF_DEFAULT, 0), 1);
    }
    // Shows file A's pages in the list.
    void showFileA()
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(fileA);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(fileA).center());
        QCoreApplication::processEvents();
    }
    TPageListView *list() const { return form->ListView1; }
    // Clicks on the pages of Rows, the first plainly and the others with Ctrl held.
    void clickPages(std::initializer_list<int> rows)
    {
        Qt::KeyboardModifiers modifiers = {};
        for (int row : rows) {
            QListWidgetItem *item = list()->item(row);
            list()->scrollToItem(item);
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers,
                              list()->visualItemRect(item).center());
            modifiers = Qt::ControlModifier;
        }
        QCoreApplication::processEvents();
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (int r = 0; r < list()->count(); ++r)
            if (list()->item(r)->isSelected())
                rows << r;
        return rows;
    }
    void clickButton(const char *name)
    {
        auto *button = form->findChild<QToolButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        form->UpdateCommandStates();
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Runs Answer on the next modal dialog as soon as it is shown.
    void whenDialogShows(std::function<void(QWidget *)> answer)
    {
        QTimer::singleShot(0, form.get(), [answer] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal)
                answer(modal);
        });
    }
};

} // namespace

TEST_F(ImageCommands, QuarterTurnsOfSelectedLandscapePagesWritePortraitFilesAndKeepTheSelection)
{
    GlobalBlock original = gradient(300, 200);
    for (int n = 1; n <= 3; ++n)
        writePage(n, original.get());
    showFileA();
    ASSERT_EQ(list()->count(), 3);
    clickPages({0, 1, 2});
    ASSERT_EQ(selectedRows(), (QList<int>{0, 1, 2}));

    clickButton("btn_ROTATE_R90");

    const GlobalBlock once(RotateExpand(original.get(), 90, 0, 0, 0));
    for (int n = 1; n <= 3; ++n) {
        const GlobalBlock page = loadPage(pagePath(n));
        EXPECT_EQ(sizeOf(page.get()), std::make_pair(200, 300)) << n;
        // Turned exactly once: a second write would have turned it again.
        EXPECT_EQ(pixelsOf(page.get()), pixelsOf(once.get())) << n;
        const GlobalBlock thumbnail = loadPage(store->ThumbnailPathOf(pagePath(n)));
        const auto [w, h] = sizeOf(thumbnail.get());
        EXPECT_EQ(h, 160) << n;
        EXPECT_LT(w, h) << n;
    }
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1, 2}));
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(ImageCommands, BlankPageSearchExaminesTheWholeListAndSelectsExactlyTheBlankPages)
{
    auto paper = [](int dark) {
        return arkavo::test::MakeGrayPage(
            400, 400, [dark](int i) { return uint8_t(i >= 200 * 400 && i < 200 * 400 + dark ? 0 : 255); });
    };
    writePage(1, paper(0).get());    // white
    writePage(2, paper(10).get());   // a speck
    writePage(3, paper(4000).get()); // a line of text
    writePage(4, paper(0).get());
    QFile damaged(pagePath(4)); // white, but cut short
    ASSERT_TRUE(damaged.resize(300));
    showFileA();
    ASSERT_EQ(list()->count(), 4);
    ASSERT_TRUE(selectedRows().isEmpty());
    const QByteArray before = bytesOf(pagePath(1));

    clickButton("btn_IMAGE_SEARCHBLANKPAGE");

    EXPECT_EQ(selectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(bytesOf(pagePath(1)), before);
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(ImageCommands, PopupEntriesRunTheMainMenusOperations)
{
    const GlobalBlock original = gradient(120, 80);
    showFileA();
    for (const ImageMirror &m : ImagePopupMirror()) {
        const ImageOp op = ImageOpOf(QString::fromLatin1(m.menuName));
        QAction *entry = act(m.popupName);
        // Entries that need a viewer selection or answer a dialog have tests of their own.
        if (op == ImageOp::None || op == ImageOp::Crop || op == ImageOp::RotateCustom ||
            op == ImageOp::SearchBlankPage || !entry || entry->menu())
            continue;
        writePage(1, original.get());
        form->TreeView1->setCurrentItem(nullptr);
        showFileA();
        ASSERT_EQ(list()->count(), 1);
        clickPages({0});
        // The pop-up takes its states as it opens.
        form->PopMenuListView->popup(list()->viewport()->mapToGlobal(QPoint(10, 10)));
        QCoreApplication::processEvents();
        ASSERT_TRUE(entry->isEnabled()) << m.popupName;
        entry->trigger();
        form->PopMenuListView->hide();
        QCoreApplication::processEvents();

        const GlobalBlock expected = RunImageOp(op, original.get(), ImageOpParams{});
        const GlobalBlock page = loadPage(pagePath(1));
        EXPECT_EQ(pixelsOf(page.get()), pixelsOf(expected ? expected.get() : original.get())) << m.popupName;
    }
}

TEST_F(ImageCommands, CustomRotationAsksOnceForEveryPageAndCancelChangesNothing)
{
    const GlobalBlock original = gradient(200, 150);
    writePage(1, original.get());
    writePage(2, original.get());
    showFileA();
    clickPages({0, 1});
    const QByteArray before = bytesOf(pagePath(1));

    int asks = 0;
    auto answer = [&](const char *angle) {
        whenDialogShows([&asks, angle](QWidget *modal) {
            auto *dialog = qobject_cast<TFormSetAngle *>(modal);
            if (!dialog)
                return;
            ++asks;
            if (!angle) {
                QTest::mouseClick(dialog->BitBtn2, Qt::LeftButton);
                return;
            }
            QTest::keyClicks(dialog->EdtAngle, QString::fromLatin1(angle));
            QTest::mouseClick(dialog->BitBtn1, Qt::LeftButton);
        });
    };
    answer(nullptr);
    act("MN_IMAGE_ROTATE_CUSTOM")->trigger();
    EXPECT_EQ(asks, 1);
    EXPECT_EQ(bytesOf(pagePath(1)), before);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1}));

    answer(" 30 ");
    act("MN_IMAGE_ROTATE_CUSTOM")->trigger();
    EXPECT_EQ(asks, 2);
    const GlobalBlock expected(Rotate(original.get(), 30, 100, 75, 1));
    for (int n = 1; n <= 2; ++n)
        EXPECT_EQ(pixelsOf(loadPage(pagePath(n)).get()), pixelsOf(expected.get())) << n;
}

TEST_F(ImageCommands, CommandsTakeTheSettingsInForce)
{
    // A page with a dark frame: black-border removal takes the dialog's threshold.
    const GlobalBlock framed = arkavo::test::MakeGrayPage(200, 200, [](int i) {
        const int x = i % 200, y = i / 200;
        return uint8_t(x < 10 || x >= 190 || y < 10 || y >= 190 ? 60 : 250);
    });
    writePage(1, framed.get());
    showFileA();
    clickPages({0});
    form->FormImgProcSetting->spinedt_RemoveBlackBorder_Threshold->SetValue(
        40); // the frame is lighter than that
    clickButton("btn_IMAGE_REMOVEBLACKBORDER");
    ImageOpParams params;
    params.settings.SetValue(ImageProcSettings::RemoveBlackBorderThreshold, 40);
    const GlobalBlock expected = RunImageOp(ImageOp::RemoveBlackBorder, framed.get(), params);
    const GlobalBlock page = loadPage(pagePath(1));
    EXPECT_EQ(pixelsOf(page.get()), pixelsOf(expected ? expected.get() : framed.get()));
}

TEST_F(ImageCommands, APageFolderThatCannotBeWrittenGivesOneMessageAndKeepsEveryFile)
{
    const GlobalBlock original = gradient(160, 120);
    for (int n = 1; n <= 3; ++n)
        writePage(n, original.get());
    showFileA();
    clickPages({0, 1, 2});
    QList<QByteArray> before;
    for (int n = 1; n <= 3; ++n)
        before << bytesOf(pagePath(n));
    // The thumbnails of the list are all made before the folders change hands.
    for (int i = 0; i < 500 && form->ThumbnailsPending(); ++i)
        QTest::qWait(10);
    {
        arkavo::test::AsOrdinaryUser user(root.path());
        clickButton("btn_MIRROR");
    }
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(bytesOf(pagePath(n)), before[n - 1]) << n;
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].caption, "错误");
    EXPECT_EQ(Messages::Shown()[0].text,
              QString("有 3 个页面无法保存处理结果，保持原样未作修改（第一个：%1）！").arg(pagePath(1)));
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1, 2}));
}

TEST_F(ImageCommands, InSinglePageViewTheShownPageChangesAndNoFileIsWritten)
{
    const GlobalBlock original = gradient(300, 200);
    writePage(1, original.get());
    writePage(2, original.get());
    showFileA();
    const QPoint at = list()->visualItemRect(list()->item(0)).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    ASSERT_TRUE(act("MN_VIEW_SINGLE")->isChecked());
    const QByteArray before = bytesOf(pagePath(1));

    clickButton("btn_ROTATE_L90");
    EXPECT_EQ(sizeOf(viewer->ShownDib()), std::make_pair(200, 300));
    EXPECT_EQ(bytesOf(pagePath(1)), before);

    // Delete with a selection drawn on the picture erases it to white.
    viewer->btn_selectrect->click();
    QWidget *target = picture()->widget();
    for (QWidget *child : target->findChildren<QWidget *>())
        if (child->isVisible() && child->width() > target->width() / 2)
            target = child;
    const QPoint from = target->rect().center() - QPoint(30, 30),
                 to = target->rect().center() + QPoint(30, 30);
    QTest::mousePress(target, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), target->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    QTest::mouseRelease(target, Qt::LeftButton, {}, to);
    const TViewerRect s = viewer->ViewerSelection;
    ASSERT_LT(s.Left, s.Right);
    const GlobalBlock turned(RotateExpand(original.get(), -90, 0, 0, 0));
    const RECT rect{s.Left, s.Top, s.Right, s.Bottom};
    const GlobalBlock erased(Fill(turned.get(), &rect, 255));
    act("MN_FILE_DELETE")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(pixelsOf(viewer->ShownDib()), pixelsOf(erased.get()));
    EXPECT_EQ(bytesOf(pagePath(1)), before);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(ImageCommands, TheSettingsCommandsShowTheDialogModally)
{
    for (const char *name : {"MN_IMAGE_SETTING", "N26"}) {
        bool shownModal = false;
        whenDialogShows([&](QWidget *modal) {
            shownModal = modal == form->FormImgProcSetting;
            QTest::mouseClick(form->FormImgProcSetting->btn_Cancel, Qt::LeftButton);
        });
        act(name)->trigger();
        EXPECT_TRUE(shownModal) << name;
        EXPECT_FALSE(form->FormImgProcSetting->isVisible()) << name;
    }
}
