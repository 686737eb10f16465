// Pictures of the page viewer on a real display, for looking at by eye: the main window
// in single-page mode on a small catalogue of document-like pages, at best fit, zoomed,
// with a selection band and with the brightness and contrast dialog open. Each state
// is captured from the screen with ImageMagick's import.
//
//     xvfb-run -s "-screen 0 1280x1024x24" sh -c 'openbox & sleep 1; build/bin/viewer_shots OUTDIR'
#include "CatalogDatabase.h"
#include "Controls.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm5.h"
#include "TFormBrightContrast.h"
#include "TImageManager.h"

#include "codec.h"
#include "ovisco/OviscoInterface.h"
#include <arkavo/GlobalBlock.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

namespace {

// A letter-like page: a heading, paragraphs of grey bars for text lines, a boxed table.
QImage letterPage(int number)
{
    QImage page(1275, 1650, QImage::Format_Grayscale8);
    page.fill(255);
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    QFont heading(QStringLiteral("WenQuanYi Micro Hei"));
    heading.setPixelSize(54);
    p.setFont(heading);
    p.setPen(QColor(20, 20, 20));
    p.drawText(QRect(110, 110, 1055, 90), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("采购合同 第 %1 页").arg(number));
    QFont body(QStringLiteral("WenQuanYi Micro Hei"));
    body.setPixelSize(26);
    p.setFont(body);
    int y = 250;
    for (int paragraph = 0; paragraph < 3; ++paragraph) {
        for (int line = 0; line < 6; ++line, y += 40) {
            const int width = line == 5 ? 420 + 90 * paragraph : 1055;
            p.drawText(QRect(110, y, width, 36), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral(
                           "本合同由甲乙双方在平等自愿的基础上协商订立，双方共同遵守下列条款。特此约定。"));
        }
        y += 30;
    }
    p.setPen(QPen(QColor(40, 40, 40), 3));
    const QRect table(110, y + 20, 1055, 300);
    p.drawRect(table);
    for (int r = 1; r < 5; ++r)
        p.drawLine(table.left(), table.top() + r * 60, table.right(), table.top() + r * 60);
    p.drawLine(table.left() + 350, table.top(), table.left() + 350, table.bottom());
    p.drawLine(table.left() + 700, table.top(), table.left() + 700, table.bottom());
    p.fillRect(QRect(880, 1460, 280, 80), QColor(110, 110, 110));
    return page;
}

// The same page as an 8-bit packed DIB with a grey ramp, rows bottom-up.
HGLOBAL toDib(const QImage &image)
{
    const int width = image.width(), height = image.height(), stride = (width + 3) & ~3;
    arkavo::GlobalBlock block = arkavo::GlobalBlock::allocate(40 + 1024 + size_t(stride) * height);
    arkavo::GlobalLockGuard lock(block.get());
    uint8_t *p = lock.data();
    const int32_t header[] = {40, width, height};
    std::memcpy(p, header, sizeof header);
    p[12] = 1;
    p[14] = 8;
    const uint32_t used = 256;
    std::memcpy(p + 32, &used, 4);
    for (int i = 0; i < 256; ++i)
        p[40 + 4 * i] = p[41 + 4 * i] = p[42 + 4 * i] = uint8_t(i);
    for (int y = 0; y < height; ++y)
        std::memcpy(p + 40 + 1024 + size_t(height - 1 - y) * stride, image.constScanLine(y), size_t(width));
    return block.release();
}

void settle(int ms = 600)
{
    QTest::qWait(ms);
    QCoreApplication::processEvents();
}

bool shot(const QString &dir, const char *name)
{
    settle();
    const QString path = dir + u'/' + QString::fromLatin1(name);
    const int rc = QProcess::execute(QStringLiteral("import"),
                                     {QStringLiteral("-window"), QStringLiteral("root"), path});
    std::printf("%s %s\n", rc == 0 ? "wrote" : "FAILED", qPrintable(path));
    return rc == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: viewer_shots OUTDIR\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir root;
    AppPath = RootPath = ResourcePath = root.path() + u'/';
    Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
    if (!ControlRegistry::Ovisco()) {
        std::fprintf(stderr, "libovisco.so not found beside the program\n");
        return 1;
    }
    {
        TFormLogin login;
        login.Edit1->setText(QStringLiteral("Admin"));
        if (!login.Button1Click())
            return 1;
    }
    bool ok = true;
    {
        TForm1 form;
        auto *viewer = new TForm5(form.Context());
        form.ConnectViewer(viewer);
        form.resize(1200, 940);
        form.move(30, 30);
        form.show();
        settle();
        TImageManager *store = form.ImageManager;
        QTreeWidgetItem *type = store->NewFileType(true);
        QTreeWidgetItem *folder = store->NewFolder(type, QStringLiteral("2026年12月"), true);
        QTreeWidgetItem *file = store->NewFile(folder, QStringLiteral("合同0001"), true);
        for (int n = 1; n <= 3; ++n) {
            const QString path = store->ImagesPath + type->text(0) + u'/' + folder->text(0) + u'/' +
                                 file->text(0) + QStringLiteral("/P%1.tif").arg(n, 7, 10, QChar(u'0'));
            QDir().mkpath(QFileInfo(path).path());
            arkavo::GlobalBlock dib(toDib(letterPage(n)));
            ok = SaveImageFile({150, 150, dib.get()}, path) == 1 && ok;
        }
        form.TreeView1->setCurrentItem(file);
        settle();
        form.Action(QStringLiteral("MN_VIEW_SINGLE"))->trigger();
        settle();
        ok = viewer->HasImage() && ok;
        ok = shot(out, "v1-bestfit.png") && ok;

        viewer->btn_ZoomIn->click();
        viewer->btn_ZoomIn->click();
        viewer->OviscoPicture->setScrollPositionX(60);
        viewer->OviscoPicture->setScrollPositionY(120);
        ok = shot(out, "v2-zoomed.png") && ok;

        // A band dragged with the mouse over the page at best fit.
        viewer->btn_ZOOM_BESTFIT->click();
        settle(200);
        QWidget *target = viewer->OviscoPicture->widget();
        for (QWidget *child : target->findChildren<QWidget *>())
            if (child->isVisible() && child->width() > target->width() / 2)
                target = child;
        const QPoint from = target->rect().center() - QPoint(180, 140),
                     to = target->rect().center() + QPoint(160, 60);
        QTest::mousePress(target, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 8; ++step) {
            const QPoint at = from + (to - from) * step / 8;
            QMouseEvent move(QEvent::MouseMove, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::NoButton,
                             Qt::LeftButton, {});
            QCoreApplication::sendEvent(target, &move);
        }
        QTest::mouseRelease(target, Qt::LeftButton, {}, to);
        ok = shot(out, "v3-selection.png") && ok;
        std::printf("selection %d,%d-%d,%d\n", viewer->ViewerSelection.Left, viewer->ViewerSelection.Top,
                    viewer->ViewerSelection.Right, viewer->ViewerSelection.Bottom);

        viewer->btn_selectrect->click(); // clears the band
        viewer->btnBrightContrast->click();
        viewer->track_bright->setValue(255 + 70);
        viewer->track_Contrast->setValue(100 + 40);
        ok = shot(out, "v4-brightcontrast.png") && ok;
        viewer->FormBrightContrast->Button2->click();
        form.hide();
    }
    Messages::SetResponder(nullptr);
    DestroyCatalogObjects();
    return ok ? 0 : 1;
}
