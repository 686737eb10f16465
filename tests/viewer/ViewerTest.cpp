// The page viewer inside a real main window, on a real catalogue with page files
// written by the codec.
#include "CatalogDatabase.h"
#include "Controls.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm5.h"
#include "TFormBrightContrast.h"
#include "TFormSetAngle.h"
#include "TImageManager.h"

#include "GrayPage.h"
#include "QtApp.h"
#include "ViewerFixture.h"
#include "TempDir.h"

#include "codec.h"
#include "ovisco/OviscoInterface.h"
#include "pixolve.h"
#include <arkavo/GlobalBlock.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// An 8-bit grey page of one value.
HGLOBAL greyPage(int width, int height, uint8_t value)
{
    return arkavo::test::MakeGrayPage(width, height, [value](int) { return value; }).release();
}

// The first pixel of an 8-bit DIB.
int firstPixel(HGLOBAL dib)
{
    arkavo::GlobalLockGuard lock(dib);
    const uint8_t *p = lock.data();
    uint32_t used = 0;
    std::memcpy(&used, p + 32, 4);
    return p[40 + 4 * (used ? used : 256)];
}

int filePixel(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    if (!LoadFile(QFile::encodeName(path).constData(), &image, 0) || !image.Dib)
        return -1;
    const int v = firstPixel(image.Dib);
    GlobalFree(image.Dib);
    return v;
}

class Viewer : public ViewerWindows {
protected:
    void SetUp() override
    {
        ViewerWindows::SetUp();
        if (HasFatalFailure())
            return;
        // File A: pages of values 10, 20, 30; file B: 40, 50.
        for (int i = 1; i <= 3; ++i)
            writePage("A", i, uint8_t(10 * i));
        for (int i = 1; i <= 2; ++i)
            writePage("B", i, uint8_t(30 + 10 * i));
        Messages::ClearShown();
    }

    QString pagePath(const QString &file, int n) const
    {
        return store->ImagesPath + type->text(0) + "/F/" + file +
               QString("/P%1.tif").arg(n, 7, 10, QChar('0'));
    }
    void writePage(const QString &file, int n, uint8_t value, int width = 1700, int height = 2200)
    {
        const QString path = pagePath(file, n);
        QDir().mkpath(QFileInfo(path).path());
        arkavo::GlobalBlock dib(greyPage(width, height, value));
        const TCodecImage image{200, 200, dib.get()};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), CODEC_TIFF_DEFAULT, 0), 1);
    }

    TPageListView *list() const { return form->ListView1; }

    // Shows the folder's pages and switches to single-page mode (which shows the first page).
    void single(QTreeWidgetItem *node = nullptr)
    {
        form->TreeView1->setCurrentItem(node ? node : folder);
        QCoreApplication::processEvents();
        act("MN_VIEW_SINGLE")->trigger();
        QCoreApplication::processEvents();
    }
    void select(int row)
    {
        list()->setCurrentRow(row);
        QCoreApplication::processEvents();
    }
    int shownPixel() const { return viewer->ShownDib() ? firstPixel(viewer->ShownDib()) : -1; }

    // The mouse and keys as a person uses them, on the active window.
    void activate()
    {
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void clickNode(QTreeWidgetItem *node)
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCoreApplication::processEvents();
    }
    void doubleClickPage(int row)
    {
        const QPoint at = list()->visualItemRect(list()->item(row)).center();
        // A double-click is a press and release, then a second press that the view
        // reports as a double-click.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
    void invertShown()
    {
        HGLOBAL inverted = Invert(viewer->GetViewerImage().Dib);
        ASSERT_NE(inverted, nullptr);
        viewer->SetViewerImage({0, 0, inverted});
    }
    bool shown(const QString &text) const
    {
        for (const MessageRecord &m : Messages::Shown())
            if (m.text == text)
                return true;
        return false;
    }
};

} // namespace

TEST_F(Viewer, SinglePageModeCoversTheListAndThumbnailModeRestoresIt)
{
    ASSERT_EQ(list()->count(), 0);
    form->TreeView1->setCurrentItem(folder);
    QCoreApplication::processEvents();
    ASSERT_EQ(list()->count(), 5);
    list()->item(3)->setSelected(true);
    list()->item(4)->setSelected(true);
    list()->setCurrentRow(3, QItemSelectionModel::NoUpdate);
    act("MN_VIEW_SINGLE")->trigger();
    QCoreApplication::processEvents();

    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->geometry(), form->Panel3->rect());
    EXPECT_TRUE(act("MN_VIEW_SINGLE")->isChecked());
    EXPECT_FALSE(act("MN_VIEW_THUMBNAIL")->isChecked());
    for (const char *name : {"MN_EDIT_SELECTALL", "MN_EDIT_INVERTSELECTION", "MN_IMAGE_SEARCHBLANKPAGE"})
        EXPECT_FALSE(act(name)->isEnabled()) << name;
    // The focused page is shown and is the only selected one.
    EXPECT_EQ(viewer->PageIndex, 3);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(3)});
    EXPECT_EQ(shownPixel(), 40);
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileB));
    list()->item(1)->setSelected(true); // a click on a second page replaces the selection
    QCoreApplication::processEvents();
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(1)});
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileA));

    act("MN_VIEW_THUMBNAIL")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(viewer->isHidden());
    EXPECT_EQ(viewer->PageIndex, -1);
    EXPECT_EQ(viewer->FileIndex, -1);
    EXPECT_EQ(viewer->ShownDib(), nullptr);
    EXPECT_FALSE(act("MN_VIEW_SINGLE")->isChecked());
    EXPECT_TRUE(act("MN_VIEW_THUMBNAIL")->isChecked());
    for (const char *name : {"MN_EDIT_SELECTALL", "MN_EDIT_INVERTSELECTION", "MN_IMAGE_SEARCHBLANKPAGE"})
        EXPECT_TRUE(act(name)->isEnabled()) << name;
    for (const char *name :
         {"MN_ZOOM_IN", "MN_ZOOM_400", "MN_NAVIGATION_NEXTPAGE", "MN_NAVIGATION_FIRSTFILE"})
        EXPECT_FALSE(act(name)->isEnabled()) << name;
    EXPECT_EQ(list()->currentItem(), list()->item(1));
    EXPECT_TRUE(list()->item(1)->isSelected());
}

TEST_F(Viewer, DoubleClickOnThePictureReturnsToThumbnails)
{
    single();
    ASSERT_TRUE(viewer->HasImage());
    QWidget *target = picture()->widget();
    for (QWidget *child : target->findChildren<QWidget *>())
        if (child->isVisible() && child->width() > target->width() / 2)
            target = child;
    QTest::mouseDClick(target, Qt::LeftButton, {}, target->rect().center());
    QCoreApplication::processEvents();
    EXPECT_TRUE(viewer->isHidden());
    EXPECT_TRUE(act("MN_VIEW_THUMBNAIL")->isChecked());
}

TEST_F(Viewer, ZoomLockKeepsZoomAndScrollAcrossPagesAndFitsOtherwise)
{
    single();
    ASSERT_EQ(viewer->PageIndex, 0);
    // The first page after start is best-fit.
    const double fit = picture()->Zoom();
    picture()->FitTo(0);
    EXPECT_DOUBLE_EQ(picture()->Zoom(), fit);
    EXPECT_EQ(viewer->ComboBox2->currentText(), QString::number(qRound(fit)) + "%");

    ASSERT_TRUE(act("MN_ZOOM_LOCK")->isChecked());
    picture()->setZoom(150);
    picture()->setScrollPositionX(200);
    picture()->setScrollPositionY(300);
    viewer->btn_NextPage->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(picture()->Zoom(), 150);
    EXPECT_EQ(picture()->ScrollPositionX(), 200);
    EXPECT_EQ(picture()->ScrollPositionY(), 300);
    EXPECT_EQ(viewer->ComboBox2->currentText(), "150%");

    act("MN_ZOOM_LOCK")->trigger();
    ASSERT_FALSE(act("MN_ZOOM_LOCK")->isChecked());
    viewer->btn_NextPage->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 2);
    EXPECT_DOUBLE_EQ(picture()->Zoom(), fit);
}

TEST_F(Viewer, LeavingAChangedPageWritesItBackAndRemakesItsThumbnail)
{
    single();
    const QString thumb = store->ThumbnailPathOf(pagePath("A", 1));
    QFile::remove(thumb);
    HGLOBAL inverted = Invert(viewer->GetViewerImage().Dib);
    ASSERT_NE(inverted, nullptr);
    viewer->SetViewerImage({0, 0, inverted});
    EXPECT_EQ(shownPixel(), 245);
    EXPECT_EQ(filePixel(pagePath("A", 1)), 10); // nothing written while the page is shown
    TPageListView::SetImageIndex(list()->item(0), 99);

    select(1);
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_EQ(filePixel(pagePath("A", 1)), 245);
    EXPECT_TRUE(QFile::exists(thumb));
    EXPECT_NE(TPageListView::ImageIndex(list()->item(0)), 99); // marked for reloading
    // The resolution of the page file is kept.
    TCodecImage reread{0, 0, nullptr};
    ASSERT_GT(LoadFile(QFile::encodeName(pagePath("A", 1)).constData(), &reread, 0), 0);
    EXPECT_EQ(reread.XResolution, 200);
    GlobalFree(reread.Dib);
    // An unchanged page is not written.
    const QDateTime before = QFileInfo(pagePath("A", 2)).lastModified();
    QTest::qWait(20);
    select(2);
    EXPECT_EQ(QFileInfo(pagePath("A", 2)).lastModified(), before);
}

TEST_F(Viewer, ClosingTheMainWindowWritesBackTheShownPage)
{
    single();
    viewer->SetViewerImage({0, 0, Invert(viewer->GetViewerImage().Dib)});
    form->close();
    EXPECT_EQ(filePixel(pagePath("A", 1)), 245);
    EXPECT_EQ(viewer->ShownDib(), nullptr);
}

TEST_F(Viewer, MovedBrightnessBarAsksAndWritesBackEitherWay)
{
    const struct {
        MsgAnswer answer;
        bool brighter;
    } cases[] = {{MsgAnswer::No, false}, {MsgAnswer::Yes, true}};
    for (const auto &c : cases) {
        single();
        select(0);
        Messages::ClearShown();
        const QString thumb = store->ThumbnailPathOf(pagePath("A", 1));
        QFile::remove(thumb);
        answer = c.answer;
        viewer->track_bright->setValue(255 + 60);
        EXPECT_EQ(shownPixel(), 10); // the preview never touches the page image
        select(1);
        ASSERT_EQ(Messages::Shown().size(), 1);
        EXPECT_EQ(Messages::Shown()[0].text, "是否保存亮度对比度的调整？");
        EXPECT_EQ(Messages::Shown()[0].caption, "询问");
        EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Question);
        EXPECT_EQ(Messages::Shown()[0].buttons, MsgButtons::YesNo);
        EXPECT_TRUE(QFile::exists(thumb)) << "written back";
        if (c.brighter)
            EXPECT_GT(filePixel(pagePath("A", 1)), 10);
        else
            EXPECT_EQ(filePixel(pagePath("A", 1)), 10);
        EXPECT_EQ(viewer->track_bright->value(), 255);
        act("MN_VIEW_THUMBNAIL")->trigger();
    }
}

TEST_F(Viewer, FailedWriteBackTellsWhichPageWasNotSaved)
{
    single();
    viewer->SetViewerImage({0, 0, Invert(viewer->GetViewerImage().Dib)});
    // The page file turns into a directory: the save cannot replace it.
    const QString path = pagePath("A", 1);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    select(1);
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_TRUE(Messages::Shown()[0].text.contains(path));
    EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(shownPixel(), 20);
}

TEST_F(Viewer, UndoIsOneStepAndAcceptedBrightnessAdjustsTheRestoredImage)
{
    single();
    HGLOBAL loaded = viewer->ShownDib();
    EXPECT_FALSE(viewer->btnUndo->isEnabled());
    viewer->btnUndoClick();
    EXPECT_EQ(viewer->ShownDib(), loaded);

    viewer->SetViewerImage({0, 0, Invert(loaded)});
    EXPECT_TRUE(viewer->btnUndo->isEnabled());
    EXPECT_TRUE(viewer->Modified);
    viewer->btnUndo->click();
    EXPECT_EQ(viewer->ShownDib(), loaded);
    EXPECT_EQ(viewer->PageImage.Dib, loaded);
    EXPECT_EQ(shownPixel(), 10);
    EXPECT_FALSE(viewer->btnUndo->isEnabled());
    viewer->btnUndo->click(); // a second undo is not possible
    EXPECT_EQ(viewer->ShownDib(), loaded);

    viewer->btnBrightContrast->click();
    EXPECT_TRUE(viewer->FormBrightContrast->isVisible());
    viewer->track_bright->setValue(255 + 100);
    viewer->FormBrightContrast->Button1->click();
    EXPECT_FALSE(viewer->FormBrightContrast->isVisible());
    EXPECT_EQ(viewer->track_bright->value(), 255);
    EXPECT_GT(shownPixel(), 10);
    EXPECT_TRUE(viewer->btnUndo->isEnabled());
    viewer->btnUndo->click();
    EXPECT_EQ(shownPixel(), 10);

    // Cancel drops the setting and keeps the image.
    HGLOBAL before = viewer->ShownDib();
    viewer->track_Contrast->setValue(150);
    viewer->FormBrightContrast->Button2->click();
    EXPECT_EQ(viewer->track_Contrast->value(), 100);
    EXPECT_EQ(viewer->ShownDib(), before);
}

TEST_F(Viewer, BrightnessPreviewChangesOnlyTheScreen)
{
    single();
    QWidget *w = picture()->widget();
    const QPoint centre = w->rect().center();
    const QRgb plain = w->grab().toImage().pixel(centre);
    viewer->track_bright->setValue(255 + 120);
    const QRgb bright = w->grab().toImage().pixel(centre);
    EXPECT_GT(qGray(bright), qGray(plain));
    EXPECT_EQ(shownPixel(), 10);
    EXPECT_EQ(firstPixel(viewer->PageImage.Dib), 10);
}

TEST_F(Viewer, ZoomButtonsStayInsideTheirLimits)
{
    single();
    const struct {
        double from;
        bool in;
        double to;
        const char *text;
    } cases[] = {
        {3, false, 2, "2%"},     {6000, true, 10000, "10000%"}, {100, true, 200, "200%"},
        {100, false, 50, "50%"}, {6.25, true, 12.5, "12%"},     {6.75, true, 13.5, "14%"},
    };
    for (const auto &c : cases) {
        picture()->setZoom(c.from);
        (c.in ? viewer->btn_ZoomIn : viewer->btn_ZoomOut)->click();
        EXPECT_DOUBLE_EQ(picture()->Zoom(), c.to) << c.from;
        EXPECT_EQ(viewer->ComboBox2->currentText(), c.text) << c.from;
    }
    // The menu forwards to the same buttons.
    picture()->setZoom(100);
    act("MN_ZOOM_OUT")->trigger();
    EXPECT_DOUBLE_EQ(picture()->Zoom(), 50);
    act("MN_ZOOM_200")->trigger();
    EXPECT_DOUBLE_EQ(picture()->Zoom(), 200);
}

TEST_F(Viewer, ZoomBoxTakesTheNumberBeforeThePercentSign)
{
    single();
    QLineEdit *edit = viewer->ComboBox2->lineEdit();
    const struct {
        const char *text;
        double zoom;
    } cases[] = {{"150 %", 150}, {" 80", 80}, {"abc", 80}, {"1", 80}, {"%", 80}, {"300%x", 300}};
    picture()->setZoom(100);
    for (const auto &c : cases) {
        edit->setText(QString::fromUtf8(c.text));
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_DOUBLE_EQ(picture()->Zoom(), c.zoom) << c.text;
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.text)); // the text is not rewritten
    }
    viewer->ComboBox2->setCurrentIndex(1); // "50%" picked from the list
    emit viewer->ComboBox2->activated(1);
    EXPECT_DOUBLE_EQ(picture()->Zoom(), 50);
}

TEST_F(Viewer, ActualSizeUsesScreenAndPageResolution)
{
    single();
    viewer->ScreenDpi = 96;
    viewer->btn_ZOOM_ACTUALSIZE->click();
    EXPECT_DOUBLE_EQ(picture()->Zoom(), 48);
    EXPECT_EQ(viewer->ComboBox2->currentText(), "48%");

    // No page resolution, or no page: nothing happens (and nothing divides by zero).
    picture()->setZoom(77);
    viewer->PageImage.XResolution = 0;
    viewer->btn_ZOOM_ACTUALSIZE->click();
    EXPECT_DOUBLE_EQ(picture()->Zoom(), 77);
    viewer->PageImage.XResolution = 200;
    viewer->ShowPage(-1);
    viewer->btn_ZOOM_ACTUALSIZEClick();
    viewer->btn_ZOOM_FITWIDTHClick();
    viewer->btn_ZoomInClick();
    EXPECT_FALSE(viewer->HasImage());
    EXPECT_FALSE(act("MN_ZOOM_IN")->isEnabled());
}

TEST_F(Viewer, FitButtonsFollowTheControlsFitModes)
{
    single();
    for (int mode : {1, 2, 0}) {
        QToolButton *button = mode == 0   ? viewer->btn_ZOOM_BESTFIT
                              : mode == 1 ? viewer->btn_ZOOM_FITWIDTH
                                          : viewer->btn_ZOOM_FITHEIGHT;
        picture()->setZoom(300);
        button->click();
        const double got = picture()->Zoom();
        picture()->setZoom(300);
        picture()->FitTo(mode);
        EXPECT_DOUBLE_EQ(got, picture()->Zoom()) << mode;
    }
}

TEST_F(Viewer, SelectionIsOrderedAndAZeroBandDisablesCrop)
{
    single();
    EXPECT_FALSE(act("MN_IMAGE_CROP")->isEnabled());
    viewer->OviscoPictureSelectionDrawn(300, 400, 100, 50); // dragged up-left
    EXPECT_EQ(viewer->ViewerSelection, (TViewerRect{100, 50, 300, 400}));
    EXPECT_TRUE(act("MN_IMAGE_CROP")->isEnabled());
    viewer->OviscoPictureSelectionDrawn(100, 50, 100, 400); // zero width
    EXPECT_EQ(viewer->ViewerSelection, TViewerRect{});
    EXPECT_FALSE(act("MN_IMAGE_CROP")->isEnabled());

    viewer->OviscoPictureSelectionDrawn(10, 10, 20, 20);
    viewer->btn_move->click();
    EXPECT_FALSE(picture()->SelectionRect());
    EXPECT_TRUE(viewer->btn_move->isChecked());
    EXPECT_FALSE(viewer->btn_selectrect->isChecked());
    EXPECT_EQ(viewer->ViewerSelection, TViewerRect{});
    EXPECT_FALSE(act("MN_IMAGE_CROP")->isEnabled());
    viewer->btn_selectrect->click();
    EXPECT_TRUE(picture()->SelectionRect());
    EXPECT_TRUE(viewer->btn_selectrect->isChecked());

    // A real drag on the picture reaches the same handler.
    QWidget *target = picture()->widget();
    for (QWidget *child : target->findChildren<QWidget *>())
        if (child->isVisible() && child->width() > target->width() / 2)
            target = child;
    const QPoint from = target->rect().center() + QPoint(60, 60),
                 to = target->rect().center() - QPoint(40, 40);
    QTest::mousePress(target, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), target->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    QTest::mouseRelease(target, Qt::LeftButton, {}, to);
    const TViewerRect s = viewer->ViewerSelection;
    EXPECT_LT(s.Left, s.Right);
    EXPECT_LT(s.Top, s.Bottom);
    EXPECT_TRUE(act("MN_IMAGE_CROP")->isEnabled());
}

TEST_F(Viewer, PageButtonsStayInsideTheFile)
{
    single();
    select(2); // A, page 3 (the list goes on with B)
    EXPECT_FALSE(viewer->btn_NextPage->isEnabled());
    EXPECT_FALSE(act("MN_NAVIGATION_NEXTPAGE")->isEnabled());
    EXPECT_FALSE(act("MN_NAVIGATION_LASTPAGE")->isEnabled());
    EXPECT_TRUE(viewer->btn_PreviousPage->isEnabled());
    EXPECT_TRUE(act("MN_NAVIGATION_FIRSTPAGE")->isEnabled());

    viewer->btn_FirstPage->click();
    EXPECT_EQ(viewer->PageIndex, 0);
    EXPECT_EQ(shownPixel(), 10);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(2)});

    act("MN_NAVIGATION_LASTPAGE")->trigger();
    EXPECT_EQ(viewer->PageIndex, 2);
    act("MN_NAVIGATION_PREVIOUSPAGE")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(1)});

    select(3); // B, page 1
    EXPECT_FALSE(viewer->btn_PreviousPage->isEnabled());
    EXPECT_FALSE(viewer->btn_FirstPage->isEnabled());
    EXPECT_TRUE(viewer->btn_NextPage->isEnabled());
    viewer->btn_NextPage->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 4);
    EXPECT_EQ(shownPixel(), 50);
}

TEST_F(Viewer, FileButtonsMoveBetweenFiles)
{
    // From the folder: the current file follows the page shown.
    single();
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileA));
    EXPECT_TRUE(viewer->btn_NextFile->isEnabled());
    EXPECT_FALSE(viewer->btn_PreviousFile->isEnabled());
    EXPECT_TRUE(act("MN_NAVIGATION_LASTFILE")->isEnabled());
    EXPECT_FALSE(act("MN_NAVIGATION_FIRSTFILE")->isEnabled());
    viewer->btn_NextFile->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 3); // page 1 of B
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileB));
    EXPECT_FALSE(viewer->btn_NextFile->isEnabled());
    viewer->btn_FirstFile->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->PageIndex, 0);

    // From a file: the tree moves to the neighbouring file.
    form->TreeView1->setCurrentItem(fileA);
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileA));
    EXPECT_EQ(viewer->PageIndex, 0);
    viewer->btn_LastFile->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->TreeView1->currentItem(), fileB);
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileB));
    EXPECT_EQ(shownPixel(), 40);
}

TEST_F(Viewer, UnreadablePageIsReportedAndShowsNothing)
{
    QFile bad(pagePath("B", 2));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("not an image");
    bad.close();
    single();
    Messages::ClearShown();
    select(4);
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, QString("无法识别的图像格式 %1！").arg(pagePath("B", 2)));
    EXPECT_EQ(Messages::Shown()[0].caption, "错误");
    EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Error);
    EXPECT_FALSE(viewer->HasImage());
    EXPECT_TRUE(viewer->PagePath.isEmpty());
    EXPECT_TRUE(viewer->btn_PreviousPage->isEnabled());
    EXPECT_FALSE(act("MN_IMAGE_TEXT")->isEnabled());
}

TEST_F(Viewer, CommandsFollowThePagesBitDepth)
{
    // An 8-bit page allows both brightness/contrast and the text effects.
    single();
    EXPECT_TRUE(act("MN_IMAGE_BRIGHTCONTRAST")->isEnabled());
    EXPECT_TRUE(viewer->btnBrightContrast->isEnabled());
    EXPECT_TRUE(act("MN_IMAGE_TEXT")->isEnabled());
    // A colour page has no text effects.
    const QString path = pagePath("A", 2);
    const int width = 40, height = 30, stride = width * 3;
    arkavo::GlobalBlock dib = arkavo::GlobalBlock::allocate(40 + size_t(stride) * height);
    {
        arkavo::GlobalLockGuard lock(dib.get());
        const int32_t header[] = {40, width, height};
        std::memcpy(lock.data(), header, sizeof header);
        lock.data()[12] = 1;
        lock.data()[14] = 24;
    }
    const TCodecImage colour{200, 200, dib.get()};
    ASSERT_EQ(SaveTIF(&colour, QFile::encodeName(path).constData(), CODEC_TIFF_DEFAULT, 0), 1);
    select(1);
    EXPECT_TRUE(act("MN_IMAGE_BRIGHTCONTRAST")->isEnabled());
    EXPECT_FALSE(act("MN_IMAGE_TEXT")->isEnabled());
}

TEST_F(Viewer, DeletingTheShownPageSelectsItsRightNeighbour)
{
    single();
    select(1);                                                            // A, page 2
    viewer->SetViewerImage({0, 0, Invert(viewer->GetViewerImage().Dib)}); // dropped with the page
    viewer->setFocus();
    act("MN_FILE_DELETE")->trigger();
    QCoreApplication::processEvents();
    ASSERT_TRUE(shown("确定要删除选中图像吗?"));
    ASSERT_EQ(list()->count(), 4);
    EXPECT_FALSE(QFile::exists(pagePath("A", 3)));
    EXPECT_EQ(filePixel(pagePath("A", 2)), 30); // page 3 moved up
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(1)});
    EXPECT_EQ(shownPixel(), 30);
}

TEST_F(Viewer, DeletingFromTheFocusedListInSinglePageModeKeepsTheChangeOffTheNextPage)
{
    activate();
    clickNode(folder);
    ASSERT_EQ(list()->count(), 5);
    doubleClickPage(1); // A, page 2
    ASSERT_TRUE(viewer->isVisible());
    ASSERT_EQ(viewer->PageIndex, 1);
    ASSERT_EQ(QApplication::focusWidget(), list());
    invertShown();

    QTest::keyClick(list(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    ASSERT_TRUE(shown("确定要删除选中图像吗?"));
    ASSERT_EQ(list()->count(), 4);
    EXPECT_FALSE(QFile::exists(pagePath("A", 3)));
    EXPECT_EQ(filePixel(pagePath("A", 1)), 10);
    EXPECT_EQ(filePixel(pagePath("A", 2)), 30); // the former page 3, untouched
    // The page that took the deleted one's place is shown.
    EXPECT_EQ(viewer->PageIndex, 1);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(1)});
    EXPECT_EQ(shownPixel(), 30);
    select(2);
    EXPECT_EQ(filePixel(pagePath("A", 2)), 30);
}

// Page files changed behind the viewer's back: it refuses to write and says so.
struct ChangedBehindTheViewer {
    const char *what;
    void (*change)(const QString &page, const QString &other);
};

void PrintTo(const ChangedBehindTheViewer &c, std::ostream *os)
{
    *os << c.what;
}

class ViewerWriteBack : public Viewer, public ::testing::WithParamInterface<ChangedBehindTheViewer> {};

TEST_P(ViewerWriteBack, AChangeIsWrittenOnlyToTheFileItWasLoadedFrom)
{
    single();
    ASSERT_EQ(viewer->PageIndex, 0);
    invertShown();
    GetParam().change(pagePath("A", 1), pagePath("A", 3));
    const int before = filePixel(pagePath("A", 1));
    Messages::ClearShown();
    select(1);
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text,
              QString("页面 %1 已被移动、替换或删除，对它的修改未保存！").arg(pagePath("A", 1)));
    EXPECT_EQ(filePixel(pagePath("A", 1)), before);
    EXPECT_EQ(viewer->PageIndex, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewerWriteBack,
    ::testing::Values(ChangedBehindTheViewer{"RenamedOver",
                                             [](const QString &page, const QString &other) {
                                                 QFile::remove(page);
                                                 QFile::rename(other, page);
                                             }},
                      ChangedBehindTheViewer{
                          "Deleted", [](const QString &page, const QString &) { QFile::remove(page); }},
                      ChangedBehindTheViewer{"RewrittenInPlace",
                                             [](const QString &page, const QString &other) {
                                                 QFile source(other), target(page);
                                                 if (source.open(QIODevice::ReadOnly) &&
                                                     target.open(QIODevice::WriteOnly | QIODevice::Truncate))
                                                     target.write(source.readAll());
                                             }}),
    [](const ::testing::TestParamInfo<ChangedBehindTheViewer> &info) {
        return std::string(info.param.what);
    });

TEST_F(Viewer, RenamingTheShownFilesFolderWritesThePendingChangeFirst)
{
    single();
    invertShown();
    QString name = "G";
    store->RenameNode(folder, name);
    ASSERT_EQ(folder->text(0), "G");
    const QString moved = store->ImagesPath + type->text(0) + "/G/A/P0000001.tif";
    EXPECT_EQ(filePixel(moved), 245);
    EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
}

TEST_F(Viewer, MouseClicksInTheTreeShowTheClickedNode)
{
    activate();
    clickNode(folder);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 2 个文件");
    EXPECT_EQ(list()->count(), 5);
    act("MN_VIEW_SINGLE")->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, 0);

    // A click on a file in single-page mode shows its first page.
    clickNode(fileB);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 2 个页面");
    ASSERT_EQ(list()->count(), 2);
    EXPECT_EQ(list()->selectedItems(), QList<QListWidgetItem *>{list()->item(0)});
    EXPECT_EQ(viewer->PageIndex, 0);
    EXPECT_EQ(shownPixel(), 40);
    EXPECT_EQ(viewer->FileIndex, AbsoluteIndex(fileB));

    clickNode(type);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 1 个文件夹");
    EXPECT_FALSE(viewer->HasImage());
}

TEST_F(Viewer, DoubleClickOnAScrollBarStaysInSinglePageMode)
{
    single();
    picture()->setZoom(400);
    QCoreApplication::processEvents();
    const QList<QScrollBar *> bars = picture()->widget()->findChildren<QScrollBar *>();
    int visible = 0;
    for (QScrollBar *bar : bars) {
        if (!bar->isVisible())
            continue;
        ++visible;
        QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->rect().center());
        QCoreApplication::processEvents();
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_TRUE(act("MN_VIEW_SINGLE")->isChecked());
    }
    EXPECT_EQ(visible, 2);
    EXPECT_EQ(viewer->PageIndex, 0);
}

// Bare item data of the tree's node, as an item view of another window would drag it: it
// carries none of this window's drag marks, so neither view takes it.
class Drops : public Viewer {
protected:
    // Drags Node's data over Target's viewport and lets it go at its centre.
    bool dropNode(QTreeWidgetItem *node, QAbstractItemView *target, Qt::KeyboardModifiers keys)
    {
        QTreeWidget *tree = form->TreeView1;
        std::unique_ptr<QMimeData> data(tree->model()->mimeData({tree->indexFromItem(node)}));
        QWidget *port = target->viewport();
        const QPointF at = QRectF(port->rect()).center();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at.toPoint(), actions, data.get(), Qt::LeftButton, keys);
        QCoreApplication::sendEvent(port, &enter);
        QDragMoveEvent move(at.toPoint(), actions, data.get(), Qt::LeftButton, keys);
        QCoreApplication::sendEvent(port, &move);
        QDropEvent drop(at, actions, data.get(), Qt::LeftButton, keys);
        QCoreApplication::sendEvent(port, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted();
    }
    // Each node's caption with its parent's, in tree order.
    QStringList treeShape() const
    {
        QStringList shape;
        for (QTreeWidgetItemIterator it(form->TreeView1); *it; ++it)
            shape << ((*it)->parent() ? (*it)->parent()->text(0) : QString()) + '/' + (*it)->text(0);
        return shape;
    }
};

TEST_F(Drops, NothingIsDroppedOnTheTreeOrThePageList)
{
    clickNode(folder);
    ASSERT_EQ(list()->count(), 5);
    const QStringList shape = treeShape();
    const struct {
        QTreeWidgetItem *node;
        QAbstractItemView *target;
        Qt::KeyboardModifiers keys;
    } drops[] = {
        {fileB, list(), {}},
        {fileB, form->TreeView1, {}},
        {fileB, form->TreeView1, Qt::ShiftModifier},
        {folder, form->TreeView1, Qt::ShiftModifier},
    };
    for (const auto &d : drops) {
        SCOPED_TRACE(
            (d.node->text(0) + (d.target == list() ? " on the list" : " on the tree")).toStdString());
        EXPECT_FALSE(dropNode(d.node, d.target, d.keys));
        EXPECT_EQ(list()->count(), 5);
        EXPECT_EQ(treeShape(), shape);
    }
    EXPECT_TRUE(QFileInfo(pagePath("B", 2)).exists());
}

TEST_F(Viewer, BrightContrastDialogHoldsTheTrackBars)
{
    TFormBrightContrast *dialog = viewer->FormBrightContrast;
    EXPECT_EQ(dialog->windowTitle(), "亮度与对比度调节");
    EXPECT_TRUE(dialog->isAncestorOf(viewer->track_bright));
    EXPECT_TRUE(dialog->isAncestorOf(viewer->track_Contrast));
    EXPECT_EQ(viewer->track_bright->toolTip(), "亮度");
    EXPECT_EQ(viewer->track_bright->maximum(), 510);
    EXPECT_EQ(viewer->track_Contrast->toolTip(), "对比度");
    EXPECT_EQ(viewer->track_Contrast->maximum(), 200);
    EXPECT_TRUE(dialog->Button1->isDefault());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(viewer->btnBrightContrast->isEnabled()); // nothing shown yet
    EXPECT_FALSE(viewer->btnUndo->isEnabled());
    EXPECT_TRUE(viewer->btn_selectrect->isChecked());
    EXPECT_EQ(viewer->ComboBox2->count(), 6);
    EXPECT_EQ(viewer->ComboBox2->currentText(), "100%");
    const struct {
        QToolButton *button;
        const char *hint;
    } hints[] = {{viewer->btn_FirstFile, "首文件"},
                 {viewer->btn_PreviousFile, "前一文件"},
                 {viewer->btn_NextFile, "下一文件"},
                 {viewer->btn_LastFile, "尾文件"},
                 {viewer->btn_FirstPage, "第一页"},
                 {viewer->btn_PreviousPage, "上一页"},
                 {viewer->btn_NextPage, "下一页"},
                 {viewer->btn_LastPage, "最后一页"},
                 {viewer->btn_ZOOM_FITWIDTH, "适合宽度"},
                 {viewer->btn_ZOOM_FITHEIGHT, "适合高度"},
                 {viewer->btn_ZOOM_ACTUALSIZE, "实际大小"},
                 {viewer->btn_ZoomIn, "放大"},
                 {viewer->btn_ZoomOut, "缩小"},
                 {viewer->btnBrightContrast, "调节亮度与对比度"},
                 {viewer->btnUndo, "撤销"}};
    for (const auto &h : hints)
        EXPECT_EQ(h.button->toolTip(), QString::fromUtf8(h.hint)) << h.hint;
}

TEST(SetAngle, OnlyANumberClosesTheDialog)
{
    arkavo::test::EnsureApp();
    Messages::ClearShown();
    Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    const struct {
        const char *text;
        bool accepted;
    } cases[] = {{"abc", false}, {"", false}, {" 12.5 ", true}, {"-90", true}};
    for (const auto &c : cases) {
        TFormSetAngle dialog;
        EXPECT_EQ(dialog.windowTitle(), "请输入旋转角度");
        dialog.EdtAngle->setText(QString::fromUtf8(c.text));
        Messages::ClearShown();
        dialog.BitBtn1Click();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.text;
        EXPECT_EQ(Messages::Shown().size(), c.accepted ? 0 : 1) << c.text;
        if (!c.accepted) {
            EXPECT_EQ(Messages::Shown()[0].text, "请输入旋转角度");
            EXPECT_EQ(Messages::Shown()[0].caption, "提示");
            EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Information);
        } else {
            EXPECT_DOUBLE_EQ(dialog.Angle(), QString::fromUtf8(c.text).trimmed().toDouble());
        }
    }
    Messages::SetResponder(nullptr);
}

TEST(ViewerWithoutControl, ShowsANoticeInsteadOfThePicture)
{
    arkavo::test::EnsureApp();
    // Without a catalogue the viewer can still be built; the control is looked up only.
    if (ControlRegistry::Ovisco())
        GTEST_SKIP() << "the control is loaded in this process";
    TForm5 viewer(nullptr);
    ASSERT_EQ(viewer.OviscoPicture, nullptr);
    ASSERT_NE(viewer.MissingNotice, nullptr);
    EXPECT_FALSE(viewer.MissingNotice->text().isEmpty());
    viewer.btn_ZoomInClick();
    viewer.btn_ZOOM_ACTUALSIZEClick();
    viewer.ShowPage(-1);
    EXPECT_FALSE(viewer.HasImage());
}
