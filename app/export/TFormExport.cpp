#include "TFormExport.h"

#include "CatalogContext.h"
#include "ExportRun.h"
#include "FieldStore.h"
#include "FileHelpers.h"
#include "Messages.h"
#include "PageListView.h"
#include "TImageManager.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char *const kFormatNames[] = {"CBFileType2", "CBFileType8", "CBFileType24"};
const char *const kCompressNames[] = {"CBCompressType2", "CBCompressType8", "CBCompressType24"};

QStringList FormatItems()
{
    return {QStringLiteral("TIFF文件"), QStringLiteral("BMP文件"), QStringLiteral("JPG文件"),
            QStringLiteral("PDF文件")};
}

// The compression lists' items with their TIFF codes, and the item chosen at first.
struct CompressionList {
    QStringList items;
    std::array<int, 3> codes;
    int initial;
};
CompressionList CompressionOf(int depth)
{
    if (depth == BilevelPages)
        return {{QStringLiteral("不压缩"), QStringLiteral("CCITT Group 4"), QStringLiteral("Packbits")},
                {1, 4, 32773},
                1};
    return {{QStringLiteral("不压缩"), QStringLiteral("Packbits"), QStringLiteral("JPEG")},
            {1, 32773, 7},
            depth == ColourPages ? 2 : 1};
}

// Whether Dir is Parent or lies below it, once links and ".." are resolved.
bool IsWithin(const QString &dir, const QString &parent)
{
    const QString d = QFileInfo(dir).canonicalFilePath();
    const QString p = QFileInfo(parent).canonicalFilePath();
    return !d.isEmpty() && !p.isEmpty() && (d == p || d.startsWith(p + u'/'));
}

} // namespace

TFormExport::TFormExport(TCatalogContext *context, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormExport"));
    setWindowTitle(QStringLiteral("文件导出"));
    setModal(true);

    lblExporttype = new QLabel(QStringLiteral("导出文件夹"), this);
    lblExporttype->setObjectName(QStringLiteral("lblExporttype"));
    edtSourceFiles = new QLineEdit(this);
    edtSourceFiles->setObjectName(QStringLiteral("edtSourceFiles"));
    edtSourceFiles->setReadOnly(true);
    auto *pathLabel = new QLabel(QStringLiteral("导出到"), this);
    edtExportPath = new QLineEdit(this);
    edtExportPath->setObjectName(QStringLiteral("edtExportPath"));
    edtExportPath->setReadOnly(true);
    SpeedButton1 = new QPushButton(QStringLiteral("选择..."), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoDefault(false);

    RGExportType = new TRadioGroup(
        "RGExportType", QString(),
        {QStringLiteral("单页文件"), QStringLiteral("多页TIFF文件"), QStringLiteral("多页PDF文件")}, 1, this);
    RGIndex = new TRadioGroup(
        "RGIndex", QStringLiteral("文件索引"),
        {QStringLiteral("不导出"), QStringLiteral("纯文本格式"), QStringLiteral("XML格式")}, 1, this);

    auto *types = new QGroupBox(QStringLiteral("文件类型"), this);
    auto *compressions = new QGroupBox(QStringLiteral("压缩算法"), this);
    auto *typesLayout = new QGridLayout(types);
    auto *compressLayout = new QGridLayout(compressions);
    const QString depthNames[] = {QStringLiteral("黑白二值图像"), QStringLiteral("256灰度图像"),
                                  QStringLiteral("彩色图像")};
    for (int d = 0; d < 3; ++d) {
        CBFileType[d] = new QComboBox(types);
        CBFileType[d]->setObjectName(QLatin1String(kFormatNames[d]));
        CBFileType[d]->addItems(FormatItems());
        typesLayout->addWidget(new QLabel(depthNames[d], types), d, 0);
        typesLayout->addWidget(CBFileType[d], d, 1);
        CBCompressType[d] = new QComboBox(compressions);
        CBCompressType[d]->setObjectName(QLatin1String(kCompressNames[d]));
        const CompressionList list = CompressionOf(d);
        CBCompressType[d]->addItems(list.items);
        CBCompressType[d]->setCurrentIndex(list.initial);
        compressLayout->addWidget(new QLabel(depthNames[d], compressions), d, 0);
        compressLayout->addWidget(CBCompressType[d], d, 1);
        connect(CBFileType[d], &QComboBox::currentIndexChanged, this, [this, d] { CBFileTypeChange(d); });
    }

    btn_Ok = new QPushButton(QStringLiteral("导出"), this);
    btn_Ok->setObjectName(QStringLiteral("btn_Ok"));
    btn_Ok->setEnabled(false);
    btn_Cancel = new QPushButton(QStringLiteral("关闭"), this);
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    btn_Cancel->setAutoDefault(false);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->hide();

    auto *source = new QHBoxLayout;
    source->addWidget(lblExporttype);
    source->addWidget(edtSourceFiles, 1);
    auto *target = new QHBoxLayout;
    target->addWidget(pathLabel);
    target->addWidget(edtExportPath, 1);
    target->addWidget(SpeedButton1);
    auto *choices = new QHBoxLayout;
    choices->addWidget(RGExportType);
    choices->addWidget(RGIndex);
    auto *lists = new QHBoxLayout;
    lists->addWidget(types);
    lists->addWidget(compressions);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_Ok);
    buttons->addWidget(btn_Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(source);
    layout->addLayout(target);
    layout->addLayout(choices);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    layout->addWidget(ProgressBar1);

    connect(SpeedButton1, &QPushButton::clicked, this, &TFormExport::SpeedButton1Click);
    connect(RGExportType, &TRadioGroup::Clicked, this, &TFormExport::RGExportTypeClick);
    connect(btn_Ok, &QPushButton::clicked, this, &TFormExport::btn_OkClick);
    connect(btn_Cancel, &QPushButton::clicked, this, &TFormExport::reject);
}

void TFormExport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormExport::FormShow()
{
    TImageManager *store = m_context->Store();
    QTreeWidgetItem *node = store->TreeView->currentItem();
    QString path;
    store->GetNodePath(node, false, path);
    edtSourceFiles->setText(path);
    lblExporttype->setText(store->NodeKind(node) == 3 ? QStringLiteral("导出文件")
                                                      : QStringLiteral("导出文件夹"));
}

void TFormExport::SpeedButton1Click()
{
    QString dir = edtExportPath->text();
    if (SelectDirectory(QStringLiteral("选择目录"), QString(), dir))
        edtExportPath->setText(dir);
    btn_Ok->setEnabled(!edtExportPath->text().isEmpty());
}

void TFormExport::RGExportTypeClick()
{
    const int type = RGExportType->ItemIndex();
    for (int d = 0; d < 3; ++d) {
        if (type == 0) {
            CBFileType[d]->setEnabled(true);
            CBCompressType[d]->setEnabled(true);
            continue;
        }
        CBFileType[d]->setCurrentIndex(type == 1 ? 0 : 3);
        CBFileType[d]->setEnabled(false);
        CBFileTypeChange(d);
    }
}

void TFormExport::setFixedText(int depth, const QString &text)
{
    QComboBox *list = CBCompressType[depth];
    list->clear();
    list->addItem(text);
    list->setEnabled(false);
    m_fixed[depth] = true;
}

void TFormExport::CBFileTypeChange(int depth)
{
    QComboBox *list = CBCompressType[depth];
    switch (CBFileType[depth]->currentIndex()) {
    case 0:
        if (m_fixed[depth]) {
            const CompressionList items = CompressionOf(depth);
            list->clear();
            list->addItems(items.items);
            list->setCurrentIndex(items.initial);
            m_fixed[depth] = false;
        }
        list->setEnabled(true);
        break;
    case 1:
        setFixedText(depth, QStringLiteral("不压缩"));
        break;
    case 2:
        setFixedText(depth, QStringLiteral("JPEG"));
        break;
    case 3:
        setFixedText(depth, QStringLiteral("默认"));
        break;
    }
}

int TFormExport::compressionCode(int depth) const
{
    const QComboBox *list = CBCompressType[depth];
    if (m_fixed[depth]) {
        const QString text = list->currentText();
        return text == u"不压缩" ? 1 : text == u"JPEG" ? 7 : 0;
    }
    const CompressionList items = CompressionOf(depth);
    const int i = list->currentIndex();
    return i >= 0 && i < 3 ? items.codes[std::size_t(i)] : 0;
}

ExportOptions TFormExport::Options() const
{
    ExportOptions o;
    o.directory = edtExportPath->text();
    o.folderMode = m_context->Store()->NodeKind(m_context->Store()->TreeView->currentItem()) != 3;
    o.layout = ExportLayout(std::clamp(RGExportType->ItemIndex(), 0, 2));
    o.index = ExportIndex(std::clamp(RGIndex->ItemIndex(), 0, 2));
    for (int d = 0; d < 3; ++d) {
        o.formats[std::size_t(d)] = ExportFormat(std::clamp(CBFileType[d]->currentIndex(), 0, 3));
        o.compressions[std::size_t(d)] = compressionCode(d);
    }
    return o;
}

bool TFormExport::refusesDirectory(const QString &dir)
{
    const TImageManager *store = m_context->Store();
    if (!IsWithin(dir, store->ImagesPath) && !IsWithin(dir, store->ThumbnailPath))
        return false;
    Messages::Error(QStringLiteral("不能导出到图像库的Images或Thumbnail目录中，请另选导出目录！"), this);
    return true;
}

void TFormExport::reject()
{
    // Closing while the pages are written stops the export after the current page;
    // the dialog closes when it has ended.
    if (m_exporting) {
        m_cancel = true;
        return;
    }
    QDialog::reject();
}

void TFormExport::btn_OkClick()
{
    if (m_exporting || edtExportPath->text().isEmpty())
        return;
    if (refusesDirectory(edtExportPath->text()))
        return;
    // Also after an error the dialog closes, as after the export.
    const auto close = qScopeGuard([this] { accept(); });
    runExport();
}

void TFormExport::runExport()
{
    TImageManager *store = m_context->Store();
    const ExportOptions options = Options();

    // The pages as the list shows them, each file's pages together, with the file's
    // place among the files of its folder in the tree.
    QTreeWidgetItem *node = store->TreeView->currentItem();
    QTreeWidgetItem *folderNode = options.folderMode ? node : node->parent();
    QHash<QString, int> places;
    for (int i = 0; folderNode && i < folderNode->childCount(); ++i)
        places.insert(folderNode->child(i)->text(0), i);
    QList<ExportFile> files;
    const int count = store->ListView->count();
    for (int i = 0; i < count; ++i) {
        const QString name = store->GetItemFileName(i);
        if (files.isEmpty() || files.last().name != name) {
            ExportFile file;
            file.name = name;
            const int place = places.value(name, -1);
            const TCatalogNodeData *data = place >= 0 ? NodeData(folderNode->child(place)) : nullptr;
            file.imageId = data ? data->Id : -1;
            file.sequence = place + 1;
            files << file;
        }
        files.last().pages << store->GetPagePath(i);
    }

    FieldDefList defs;
    const auto freeDefs = qScopeGuard([&] { FieldStore::FreeFieldDefs(defs); });
    QStringList fieldNames;
    if (options.index != ExportIndex::None) {
        store->LoadFieldDefs(store->ShownAppId, defs, true);
        for (const FieldRecord *field : defs)
            fieldNames << field->OutName;
    }

    TExportRun run(options);
    const int appId = store->ShownAppId, batchId = store->ShownBatchId;
    run.ReadValues = [&](const ExportFile &file) {
        QStringList values;
        store->ReadFieldValues(defs, values, file.imageId, batchId, appId);
        return values;
    };
    run.Progress = [this](int done) {
        ProgressBar1->setValue(done);
        QCoreApplication::processEvents();
    };
    run.Cancelled = [this] { return m_cancel; };

    ExportReport report;
    {
        ProgressBar1->setRange(0, std::max(count, 1));
        ProgressBar1->setValue(0);
        ProgressBar1->show();
        // Everything but the button that now stops the export is disabled.
        const QList<QWidget *> controls{
            SpeedButton1,  RGExportType,      RGIndex,           CBFileType[0],     CBFileType[1],
            CBFileType[2], CBCompressType[0], CBCompressType[1], CBCompressType[2], btn_Ok};
        QList<bool> wasEnabled;
        for (QWidget *w : controls) {
            wasEnabled << w->isEnabled();
            w->setEnabled(false);
        }
        btn_Cancel->setText(QStringLiteral("取消"));
        m_exporting = true;
        m_cancel = false;
        const auto restore = qScopeGuard([&] {
            m_exporting = false;
            ProgressBar1->hide();
            btn_Cancel->setText(QStringLiteral("关闭"));
            for (int i = 0; i < controls.size(); ++i)
                controls[i]->setEnabled(wasEnabled[i]);
        });

        report = run.Run(files, fieldNames);
    }
    if (report.failed > 0)
        Messages::Error(QStringLiteral("有%1个导出文件未能写入，第一个是：\n%2")
                            .arg(report.failed)
                            .arg(QDir::toNativeSeparators(report.firstFailure)),
                        this);
    else if (report.cancelled)
        Messages::Info(QStringLiteral("导出已取消，已写入的%1个文件完整可用。").arg(report.written), this);
}
