#include "GuideShots.h"

#include "CatalogSchema.h"
#include "Controls.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm5.h"
#include "TFormSearch.h"
#include "PageListView.h"
#include "TImageManager.h"
#include "TformFieldInput.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

namespace {

const QString kFont = QStringLiteral("WenQuanYi Micro Hei");

void Settle(int ms = 150)
{
    QElapsedTimer t;
    t.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while (t.elapsed() < ms);
}

// A scanned-looking page: a heading, lines of text, a table with a few cells filled in.
QImage DocumentPage(const QString &title, int number, bool invoice)
{
    QImage page(1240, 1754, QImage::Format_Grayscale8); // A4 at 150 dpi
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(250);
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(25, 25, 25));
    QFont font(kFont);
    font.setPixelSize(52);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(100, 110, 1040, 80), Qt::AlignHCenter | Qt::AlignVCenter, title);
    font.setPixelSize(24);
    font.setBold(false);
    p.setFont(font);
    p.drawText(
        QRect(100, 200, 1040, 40), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("编号：2026-%1    第 %2 页").arg(number * 37 % 1000, 4, 10, QChar(u'0')).arg(number));
    const QString text =
        invoice ? QStringLiteral("购买方：华东仪器有限公司　　开票日期：2026年12月%1日").arg(number + 3)
                : QStringLiteral("甲乙双方本着平等互利的原则，经友好协商，就下列事项达成一致，共同遵守。");
    int y = 290;
    for (int line = 0; line < (invoice ? 3 : 12); ++line, y += 44)
        p.drawText(QRect(100, y, line % 6 == 5 ? 560 : 1040, 40), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.setPen(QPen(QColor(40, 40, 40), 3));
    const QRect table(100, y + 40, 1040, 420);
    p.drawRect(table);
    for (int r = 1; r < 6; ++r)
        p.drawLine(table.left(), table.top() + r * 70, table.right(), table.top() + r * 70);
    for (int c : {420, 640, 840})
        p.drawLine(table.left() + c, table.top(), table.left() + c, table.bottom());
    const char16_t *heads[] = {u"品名", u"数量", u"单价", u"金额"};
    const int cols[] = {0, 420, 640, 840, 1040};
    for (int c = 0; c < 4; ++c)
        p.drawText(QRect(table.left() + cols[c], table.top(), cols[c + 1] - cols[c], 70), Qt::AlignCenter,
                   QString::fromUtf16(heads[c]));
    p.setPen(QColor(60, 60, 60));
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            p.drawText(QRect(table.left() + cols[c], table.top() + r * 70, cols[c + 1] - cols[c], 70),
                       Qt::AlignCenter,
                       c == 0 ? QStringLiteral("办公用品 %1").arg(QChar(u'A' + r - 1))
                              : QString::number((r * 17 + c * 29) * (c == 3 ? 10 : 1)));
    // A signature and a stamp.
    p.setPen(QPen(QColor(70, 70, 70), 4));
    p.drawEllipse(QPoint(930, 1480), 110, 110);
    font.setPixelSize(30);
    p.setFont(font);
    p.drawText(QRect(820, 1450, 220, 60), Qt::AlignCenter, QStringLiteral("合同专用章"));
    return page;
}

// The catalogue the pictures show: two file types, a folder of contracts with index
// fields and values, and a folder of invoices.
struct Scene {
    TForm1 *form = nullptr;
    QTreeWidgetItem *contracts = nullptr, *folder = nullptr, *file = nullptr;
};

QTreeWidgetItem *NamedFileType(TImageManager *store, const QString &name)
{
    QTreeWidgetItem *type = store->NewFileType(true);
    QString newName = name;
    store->RenameNode(type, newName);
    return type;
}

bool WritePages(TImageManager *store, QTreeWidgetItem *file, const QString &title, int count, bool invoice)
{
    QString dir;
    store->GetNodePath(file, true, dir);
    if (!dir.endsWith(u'/'))
        dir += u'/';
    QDir().mkpath(dir);
    for (int n = 1; n <= count; ++n)
        if (!DocumentPage(title, n, invoice)
                 .save(dir + QStringLiteral("P%1.jpg").arg(n, 7, 10, QChar(u'0')), "JPG", 80))
            return false;
    return true;
}

bool BuildScene(Scene &scene)
{
    TImageManager *store = scene.form->ImageManager;
    scene.contracts = NamedFileType(store, QStringLiteral("合同"));
    QTreeWidgetItem *invoices = NamedFileType(store, QStringLiteral("发票"));
    scene.folder = store->NewFolder(scene.contracts, QStringLiteral("2026年12月"), true);
    store->NewFolder(scene.contracts, QStringLiteral("2026年11月"), true);
    bool ok = true;
    for (int i = 1; i <= 3; ++i) {
        QTreeWidgetItem *file =
            store->NewFile(scene.folder, QStringLiteral("合同%1").arg(i, 4, 10, QChar(u'0')), true);
        ok = file && WritePages(store, file, QStringLiteral("采购合同"), i == 1 ? 4 : 2, false) && ok;
        if (i == 1)
            scene.file = file;
    }
    QTreeWidgetItem *december = store->NewFolder(invoices, QStringLiteral("2026年12月"), true);
    ok = WritePages(store, store->NewFile(december, QStringLiteral("发票0001"), true),
                    QStringLiteral("增值税发票"), 1, true) &&
         ok;

    // Index fields of the contracts, with the first contract's values.
    scene.form->TreeView1->setCurrentItem(scene.contracts);
    Settle();
    FieldDefList defs;
    const char16_t *names[] = {u"合同编号", u"签订日期", u"对方单位", u"金额"};
    for (int i = 0; i < 4; ++i) {
        auto *f = new FieldRecord;
        f->AppId = store->ShownAppId;
        f->InName = QStringLiteral("F%1").arg(i + 1);
        f->OutName = QString::fromUtf16(names[i]);
        f->FieldType = i == 3 ? 2 : 0;
        f->FieldLength = i == 3 ? 0 : 40;
        f->IsRequired = i == 0;
        f->FieldOrder = i;
        defs << f;
    }
    FieldStore::ApplyFieldDefs(CatalogConnection, store->ShownAppId, defs);
    FieldStore::FreeFieldDefs(defs);
    scene.form->TreeView1->expandAll();
    scene.form->TreeView1->setCurrentItem(scene.file);
    Settle(300);
    if (store->ShownImageId > 0) {
        FieldDefList withRemark;
        FieldStore::LoadFieldDefs(CatalogConnection, store->ShownAppId, withRemark, true);
        const QStringList values{QStringLiteral("HT-2026-0037"), QStringLiteral("2026-12-04"),
                                 QStringLiteral("华东仪器有限公司"), QStringLiteral("12800"),
                                 QStringLiteral("原件存档案室")};
        FieldStore::WriteFieldValues(CatalogConnection, withRemark, values.mid(0, withRemark.size()),
                                     store->ShownImageId, store->ShownBatchId, store->ShownAppId);
        FieldStore::FreeFieldDefs(withRemark);
    }
    return ok;
}

// One picture: Prepare puts the program into the state to show (may be unset); then
// either Target gives the widget to photograph, or Command names the command whose
// dialog is photographed while it is open (and then closed as Cancel would).
struct ShotEntry {
    const char *name;
    std::function<void(Scene &)> prepare;
    std::function<QWidget *(Scene &)> target;
    const char *command = nullptr;
    // Arranges the open dialog before its picture (may be unset).
    std::function<void(QWidget *)> arrange = nullptr;
};

void ShowFile(Scene &s)
{
    s.form->TreeView1->setCurrentItem(s.folder);
    s.form->TreeView1->setCurrentItem(s.file);
    Settle(200);
    s.form->LoadVisibleThumbnails();
    QElapsedTimer t;
    t.start();
    while (s.form->ThumbnailsPending() && t.elapsed() < 5000)
        Settle(50);
    Settle(100);
}

void SelectPages(Scene &s, std::initializer_list<int> rows)
{
    s.form->ListView1->clearSelection();
    for (int row : rows)
        if (QListWidgetItem *item = s.form->ListView1->item(row))
            item->setSelected(true);
    Settle();
}

void SinglePage(Scene &s, bool on)
{
    QAction *a = s.form->Action(QString::fromLatin1(on ? "MN_VIEW_SINGLE" : "MN_VIEW_THUMBNAIL"));
    if (a && a->isEnabled())
        a->trigger();
    Settle(400);
}

// Add a window here to have its picture in the guide; the guide's text refers to it by name.
const ShotEntry kShots[] = {
    {"main",
     [](Scene &s) {
         ShowFile(s);
         SelectPages(s, {1});
     },
     [](Scene &s) -> QWidget * { return s.form; }},
    {"properties",
     [](Scene &s) {
         ShowFile(s);
         s.form->TreeView1->setFocus();
     },
     nullptr, "MN_FILE_PROPERTIES",
     [](QWidget *dialog) {
         // Where an installed program keeps its catalogue, not the scratch folder of the build.
         if (auto *location = dialog->findChild<QLineEdit *>(QStringLiteral("edtLocation")))
             location->setText(
                 QStringLiteral("/home/user/.local/share/arkavo/Images/合同/2026年12月/合同0001"));
     }},
    {"scan",
     [](Scene &s) {
         if (s.form->ScanPanel) {
             s.form->ScanPanel->PageControl1->setCurrentIndex(0);
             s.form->ScanPanel->ComboBox_CUTMODE->setCurrentIndex(
                 qMin(1, s.form->ScanPanel->ComboBox_CUTMODE->count() - 1));
         }
     },
     [](Scene &s) -> QWidget * { return s.form->ScanPanel; }},
    {"fields",
     [](Scene &s) {
         ShowFile(s);
         if (s.form->ScanPanel && s.form->FieldInput)
             s.form->ScanPanel->PageControl1->setCurrentWidget(s.form->FieldInput);
         Settle(200);
     },
     [](Scene &s) -> QWidget * { return s.form->ScanPanel; }},
    {"viewer",
     [](Scene &s) {
         ShowFile(s);
         SelectPages(s, {0});
         SinglePage(s, true);
     },
     [](Scene &s) -> QWidget * { return s.form; }},
    {"imagesetting", [](Scene &s) { SinglePage(s, false); }, nullptr, "MN_IMAGE_SETTING"},
    {"fielddefine",
     [](Scene &s) {
         s.form->TreeView1->setCurrentItem(s.contracts);
         Settle();
     },
     nullptr, "PMN_FILE_FIELDDEFINE"},
    {"search",
     [](Scene &s) {
         // A quick search over the file type, its folder's line chosen: the hits below the pages.
         ShowFile(s);
         s.form->TreeView1->setCurrentItem(s.contracts);
         Settle();
         if (s.form->ScanPanel && s.form->FormSearch) {
             TFormSearch *search = s.form->FormSearch;
             s.form->ScanPanel->PageControl1->setCurrentWidget(search->PanelSearch->parentWidget());
             Settle();
             search->EdtKeyword->clear();
             search->btn_mhsearch->click();
             if (QTreeWidgetItem *line = search->ListView1->topLevelItem(0))
                 search->ListView1->setCurrentItem(line);
             Settle(200);
         }
     },
     [](Scene &s) -> QWidget * { return s.form; }},
    {"export",
     [](Scene &s) {
         if (s.form->ScanPanel)
             s.form->ScanPanel->PageControl1->setCurrentIndex(0);
         ShowFile(s);
     },
     nullptr, "MN_FILE_EXPORT"},
    {"print",
     [](Scene &s) {
         ShowFile(s);
         SelectPages(s, {0, 2});
     },
     nullptr, "MN_FILE_PRINT",
     [](QWidget *dialog) {
         // With its options shown, where the page range is chosen, and an output file
         // that is not the builder's home.
         for (QPushButton *button : dialog->findChildren<QPushButton *>())
             if (button->text().endsWith(QStringLiteral(">>")))
                 button->click();
         for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
             if (edit->text().startsWith(u'/'))
                 edit->setText(QStringLiteral("~/文档/合同0001.pdf"));
     }},
    {"about", nullptr, nullptr, "MN_HELP_ABOUT"},
};

QImage Grab(QWidget *w)
{
    w->repaint();
    Settle(50);
    return w->grab().toImage();
}

// Runs Command and photographs the window it opens; null when none opens.
QImage ShootCommand(Scene &s, const char *command, const std::function<void(QWidget *)> &arrange)
{
    QAction *action = s.form->Action(QString::fromLatin1(command));
    if (!action)
        return {};
    s.form->UpdateCommandStates();
    QImage picture;
    bool done = false;
    std::function<void()> poll;
    int tries = 0;
    poll = [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && ++tries < 40) {
            QTimer::singleShot(25, poll);
            return;
        }
        if (modal) {
            if (arrange)
                arrange(modal);
            modal->adjustSize();
            Settle(150);
            picture = Grab(modal);
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
        done = true;
    };
    QTimer::singleShot(25, poll);
    action->trigger();
    while (!done)
        Settle(20);
    return picture;
}

} // namespace

QMap<QString, QImage> TakeGuideShots(const QString &scratchDir)
{
    QMap<QString, QImage> shots;
    AppPath = RootPath = ResourcePath = QDir(scratchDir).absolutePath() + u'/';
    QDir().mkpath(AppPath);
    Messages::SetResponder([](const MessageRecord &m) {
        std::fprintf(stderr, "guide: message shown: %s\n", qPrintable(m.text));
        return MsgAnswer::Ok;
    });
    ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
    if (OpenCatalog(QStringLiteral("Admin"), QString()) != CatalogLogin::LoggedIn) {
        std::fprintf(stderr, "guide: the catalogue could not be opened\n");
        return shots;
    }
    {
        TForm1 form;
        form.setWindowTitle(QStringLiteral("Arkavo v2.2文档扫描管理系统"));
        form.ConnectScanPanel(new TForm3({form.ImageManager, form.TreeView1, form.ListView1, &form,
                                          form.FormImgProcSetting, form.StatusPanels[1]},
                                         nullptr, &form));
        form.ConnectViewer(new TForm5(form.Context()));
        form.ConnectSearch(new TFormSearch(form.ImageManager, &form));
        form.resize(1024, 680);
        form.show();
        Settle(300);
        Scene scene{&form};
        if (!BuildScene(scene))
            std::fprintf(stderr, "guide: some sample pages could not be written\n");
        for (const ShotEntry &entry : kShots) {
            if (entry.prepare)
                entry.prepare(scene);
            QImage picture;
            if (entry.command)
                picture = ShootCommand(scene, entry.command, entry.arrange);
            else if (QWidget *w = entry.target(scene))
                picture = Grab(w);
            if (picture.isNull())
                std::fprintf(stderr, "guide: no picture of %s\n", entry.name);
            else
                shots.insert(QString::fromLatin1(entry.name), picture);
        }
        form.hide();
    }
    Messages::SetResponder(nullptr);
    return shots;
}
