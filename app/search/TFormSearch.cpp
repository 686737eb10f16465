#include "TFormSearch.h"

#include "CatalogContext.h"
#include "FieldValueDelegate.h"
#include "Globals.h"
#include "SearchResultGrid.h"
#include "TImageManager.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kQueryColumn = 2; // the hidden statement of a result line
constexpr int kMaxColumnWidth = 300;
constexpr int kMinColumnWidth = 80; // an empty column can still be read and clicked
constexpr int kIdColumns = 3;       // APPID, BATCHID, IMAGEID

} // namespace

TFormSearch::TFormSearch(TImageManager *store, QWidget *parent)
    : QWidget(parent), Beep([] { QApplication::beep(); }), m_store(store)
{
    setObjectName(QStringLiteral("FormSearch"));
    setWindowTitle(QStringLiteral("查询结果"));
    buildPanel();
    buildGrid();
    resize(720, StripHeight);
}

TFormSearch::~TFormSearch()
{
    FieldStore::FreeFieldDefs(m_defs);
    // The panel lives on another window's tab; it goes with the form.
    if (m_panelGuard && m_panelGuard->parent() != this)
        delete m_panelGuard;
}

void TFormSearch::buildPanel()
{
    PanelSearch = new QWidget(this);
    PanelSearch->setObjectName(QStringLiteral("PanelSearch"));
    m_panelGuard = PanelSearch;
    PanelSearch->hide();
    PanelSearch->installEventFilter(this);
    auto *layout = new QVBoxLayout(PanelSearch);
    layout->setContentsMargins(4, 4, 4, 4);

    PanelKeyword = new QWidget(PanelSearch);
    PanelKeyword->setObjectName(QStringLiteral("PanelKeyword"));
    auto *keywordBar = new QHBoxLayout(PanelKeyword);
    keywordBar->setContentsMargins(0, 0, 0, 0);
    EdtKeyword = new QLineEdit(QStringLiteral("查询关键字"), PanelKeyword);
    EdtKeyword->setObjectName(QStringLiteral("EdtKeyword"));
    EdtKeyword->installEventFilter(this);
    connect(EdtKeyword, &QLineEdit::returnPressed, this, [this] {
        if (btn_mhsearch->isEnabled())
            btn_mhsearchClick();
    });
    btn_mhsearch = new QPushButton(QStringLiteral("查询"), PanelKeyword);
    btn_mhsearch->setObjectName(QStringLiteral("btn_mhsearch"));
    btn_gotokp = new QPushButton(QStringLiteral("高级"), PanelKeyword);
    btn_gotokp->setObjectName(QStringLiteral("btn_gotokp"));
    // The keyword box takes the width; the buttons keep to their captions.
    for (QPushButton *b : {btn_mhsearch, btn_gotokp})
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 28);
    keywordBar->addWidget(EdtKeyword, 1);
    keywordBar->addWidget(btn_mhsearch);
    keywordBar->addWidget(btn_gotokp);
    layout->addWidget(PanelKeyword);

    ValueListEditor1 = new QTableWidget(0, 2, PanelSearch);
    ValueListEditor1->setObjectName(QStringLiteral("ValueListEditor1"));
    ValueListEditor1->setHorizontalHeaderLabels({QStringLiteral("字段"), QStringLiteral("内容")});
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    ValueListEditor1->setSelectionMode(QAbstractItemView::SingleSelection);
    ValueListEditor1->setItemDelegateForColumn(kValueColumn,
                                               new FieldValueDelegate(m_defs, Beep, ValueListEditor1));
    ValueListEditor1->hide();
    layout->addWidget(ValueListEditor1, 1);

    PanelAdvanced = new QWidget(PanelSearch);
    PanelAdvanced->setObjectName(QStringLiteral("PanelAdvanced"));
    auto *advancedBar = new QHBoxLayout(PanelAdvanced);
    advancedBar->setContentsMargins(0, 0, 0, 0);
    btn_kpsearch = new QPushButton(QStringLiteral("查询"), PanelAdvanced);
    btn_kpsearch->setObjectName(QStringLiteral("btn_kpsearch"));
    btn_backtomh = new QPushButton(QStringLiteral("返回"), PanelAdvanced);
    btn_backtomh->setObjectName(QStringLiteral("btn_backtomh"));
    btn_research = new QPushButton(QStringLiteral("重新查询"), PanelAdvanced);
    btn_research->setObjectName(QStringLiteral("btn_research"));
    btn_research->hide();
    advancedBar->addStretch(1);
    advancedBar->addWidget(btn_kpsearch);
    advancedBar->addWidget(btn_backtomh);
    advancedBar->addWidget(btn_research);
    PanelAdvanced->hide();
    layout->addWidget(PanelAdvanced);

    grpboxResult = new QGroupBox(QStringLiteral("查询结果"), PanelSearch);
    grpboxResult->setObjectName(QStringLiteral("grpboxResult"));
    auto *resultLayout = new QVBoxLayout(grpboxResult);
    resultLayout->setContentsMargins(2, 2, 2, 2);
    ListView1 = new QTreeWidget(grpboxResult);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("文件夹"), QStringLiteral("数量"), QString()});
    ListView1->setColumnHidden(kQueryColumn, true);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    ListView1->header()->setSectionResizeMode(kValueColumn, QHeaderView::ResizeToContents);
    resultLayout->addWidget(ListView1);
    layout->addWidget(grpboxResult, 1);

    connect(btn_mhsearch, &QPushButton::clicked, this, &TFormSearch::btn_mhsearchClick);
    connect(btn_gotokp, &QPushButton::clicked, this, &TFormSearch::btn_gotokpClick);
    connect(btn_kpsearch, &QPushButton::clicked, this, &TFormSearch::btn_kpsearchClick);
    connect(btn_backtomh, &QPushButton::clicked, this, &TFormSearch::btn_backtomhClick);
    connect(btn_research, &QPushButton::clicked, this, &TFormSearch::btn_researchClick);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem *> chosen = ListView1->selectedItems();
        resultLineChanged(chosen.isEmpty() ? nullptr : chosen.front());
    });
    connect(ListView1, &QTreeWidget::itemClicked, this, [this] { ShowResults(); });
    setEditing(false);
}

void TFormSearch::buildGrid()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelTitle = new QWidget(this);
    PanelTitle->setObjectName(QStringLiteral("PanelTitle"));
    PanelTitle->setAutoFillBackground(true);
    PanelTitle->setBackgroundRole(QPalette::Mid);
    PanelTitle->setCursor(Qt::SizeAllCursor);
    PanelTitle->installEventFilter(this);
    auto *titleBar = new QHBoxLayout(PanelTitle);
    titleBar->setContentsMargins(6, 1, 1, 1);
    LabelTitle = new QLabel(windowTitle(), PanelTitle);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
    btn_close = new QToolButton(PanelTitle);
    btn_close->setObjectName(QStringLiteral("btn_close"));
    btn_close->setText(QStringLiteral("×"));
    btn_close->setToolTip(QStringLiteral("关闭"));
    btn_close->setAutoRaise(true);
    btn_close->setCursor(Qt::ArrowCursor);
    connect(btn_close, &QToolButton::clicked, this, [this] { close(); });
    titleBar->addWidget(LabelTitle, 1);
    titleBar->addWidget(btn_close);
    layout->addWidget(PanelTitle);

    ADOQuery1 = new TSearchResultModel(CatalogConnection, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(ADOQuery1);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setWordWrap(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_highlight = new TSearchHighlightDelegate(DBGrid1);
    DBGrid1->setItemDelegate(m_highlight);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_opening && current.isValid())
                    navigateToRow(current.row());
            });
    connect(DBGrid1, &QTableView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            navigateToRow(index.row());
    });
    layout->addWidget(DBGrid1, 1);
}

void TFormSearch::Follow(TCatalogContext *context)
{
    connect(context, &TCatalogContext::NodeShown, this,
            [this](QTreeWidgetItem *node) { RefreshForNode(node); });
}

QTreeWidgetItem *TFormSearch::selectedNode() const
{
    return m_store && m_store->TreeView ? m_store->TreeView->currentItem() : nullptr;
}

void TFormSearch::clearValueGrid()
{
    commitOpenEditor();
    ValueListEditor1->setRowCount(0);
    FieldStore::FreeFieldDefs(m_defs);
}

void TFormSearch::setEditing(bool on)
{
    ValueListEditor1->setEditTriggers(on ? QAbstractItemView::AllEditTriggers
                                         : QAbstractItemView::NoEditTriggers);
}

void TFormSearch::commitOpenEditor()
{
    // An open cell editor's text belongs to the grid before the grid is read or cleared.
    if (QWidget *editor = ValueListEditor1->indexWidget(ValueListEditor1->currentIndex()))
        static_cast<FieldValueDelegate *>(ValueListEditor1->itemDelegateForColumn(kValueColumn))
            ->finish(editor, true);
}

void TFormSearch::RefreshForNode(QTreeWidgetItem *node)
{
    const int kind = node && m_store ? m_store->NodeKind(node) : -1;
    if (PanelSearch->isVisible() && node) {
        if (kind != 0 && m_store->ShownAppId != m_appId) {
            clearValueGrid();
            m_appId = m_store->ShownAppId;
            FieldStore::LoadFieldDefs(CatalogConnection, m_appId, m_defs, true, this);
            ValueListEditor1->setRowCount(int(m_defs.size()));
            for (int row = 0; row < m_defs.size(); ++row) {
                auto *name = new QTableWidgetItem(m_defs[row]->OutName);
                name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                ValueListEditor1->setItem(row, kNameColumn, name);
                ValueListEditor1->setItem(row, kValueColumn, new QTableWidgetItem(QString()));
            }
            setEditing(true);
        } else if (kind == 0) {
            clearValueGrid();
            setEditing(false);
            m_appId = -1;
        }
    }
    btn_mhsearch->setEnabled(kind >= 0 && kind <= 2);
    btn_kpsearch->setEnabled(kind == 1 || kind == 2);
}

void TFormSearch::DefinitionsChanged()
{
    m_appId = -1;
    RefreshForNode(selectedNode());
}

void TFormSearch::showLines(const QList<SearchQueries::SearchLine> &lines, const QString &firstTitle)
{
    m_lines = lines;
    const QSignalBlocker quiet(ListView1);
    ListView1->clear();
    ListView1->headerItem()->setText(kNameColumn, firstTitle);
    for (const SearchQueries::SearchLine &line : lines) {
        auto *item = new QTreeWidgetItem(ListView1, {line.caption, line.count, line.query});
        item->setTextAlignment(kValueColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void TFormSearch::btn_mhsearchClick()
{
    m_quick = true;
    m_terms = SearchQueries::SplitKeywords(EdtKeyword->text());
    m_termNames.clear();
    m_termFields.clear();
    QTreeWidgetItem *node = selectedNode();
    if (!node || !m_store)
        return;
    closeGrid();
    const int kind = m_store->NodeKind(node);
    if (kind == 0) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto lines = SearchQueries::CountPerFileType(
            CatalogConnection, SearchQueries::FileTypesInTreeOrder(CatalogConnection), m_terms);
        QApplication::restoreOverrideCursor();
        showLines(lines, QStringLiteral("文件类型"));
        return;
    }
    const QString condition = SearchQueries::QuickCondition(m_terms, m_defs);
    const int batchId = kind == 2 ? NodeData(node)->Id : -1;
    showLines(SearchQueries::CountPerFolder(CatalogConnection, m_appId, m_defs, condition, batchId),
              QStringLiteral("文件夹"));
}

void TFormSearch::btn_gotokpClick()
{
    PanelKeyword->hide();
    PanelAdvanced->show();
    btn_kpsearch->show();
    btn_backtomh->show();
    btn_research->hide();
    ValueListEditor1->show();
    grpboxResult->hide();
}

void TFormSearch::btn_backtomhClick()
{
    PanelKeyword->show();
    PanelAdvanced->hide();
    ValueListEditor1->hide();
    grpboxResult->show();
}

void TFormSearch::btn_kpsearchClick()
{
    QTreeWidgetItem *node = selectedNode();
    if (!node || !m_store)
        return;
    commitOpenEditor();
    m_quick = false;
    m_terms.clear();
    m_termNames.clear();
    m_termFields.clear();
    QStringList values;
    for (int row = 0; row < ValueListEditor1->rowCount(); ++row) {
        const QTableWidgetItem *cell = ValueListEditor1->item(row, kValueColumn);
        values << (cell ? cell->text() : QString());
        if (row < m_defs.size() && !values.back().trimmed().isEmpty())
            m_termFields << row;
    }
    const QString condition = SearchQueries::AdvancedCondition(m_defs, values, &m_terms, &m_termNames);
    closeGrid();
    const int kind = m_store->NodeKind(node);
    const int batchId = kind == 2 ? NodeData(node)->Id : -1;
    showLines(SearchQueries::CountPerFolder(CatalogConnection, m_appId, m_defs, condition, batchId),
              QStringLiteral("文件夹"));
    btn_kpsearch->hide();
    btn_backtomh->hide();
    btn_research->show();
    grpboxResult->show();
    ValueListEditor1->hide();
}

void TFormSearch::btn_researchClick()
{
    btn_research->hide();
    btn_kpsearch->show();
    btn_backtomh->show();
    ValueListEditor1->show();
    grpboxResult->hide();
    closeGrid();
    const QSignalBlocker quiet(ListView1);
    ListView1->clear();
    m_lines.clear();
}

void TFormSearch::closeGrid()
{
    ADOQuery1->Close();
}

void TFormSearch::resultLineChanged(QTreeWidgetItem *line)
{
    const int index = line ? ListView1->indexOfTopLevelItem(line) : -1;
    if (index < 0 || index >= m_lines.size()) {
        closeGrid();
        return;
    }
    openLine(m_lines[index]);
    ShowResults();
}

void TFormSearch::openLine(const SearchQueries::SearchLine &line)
{
    // No navigation while the grid fills: the tree moves only when the operator moves.
    m_opening = true;
    ADOQuery1->Close();
    if (ADOQuery1->Open(line.query)) {
        QStringList titles{QStringLiteral("APPID"), QStringLiteral("BATCHID"), QStringLiteral("IMAGEID")};
        titles << line.titles;
        ADOQuery1->SetTitles(titles);

        QList<bool> right(kIdColumns, true);
        for (int type : line.fieldTypes)
            right << (type == 1 || type == 2);
        m_highlight->SetRightAligned(right);
        if (m_quick) {
            m_highlight->SetQuickTerms(m_terms);
        } else {
            QStringList perColumn(ADOQuery1->columnCount());
            for (int i = 0; i < m_termFields.size() && i < m_terms.size(); ++i)
                if (kIdColumns + m_termFields[i] < perColumn.size())
                    perColumn[kIdColumns + m_termFields[i]] = m_terms[i];
            m_highlight->SetColumnTerms(perColumn);
        }
        for (int c = 0; c < ADOQuery1->columnCount(); ++c)
            DBGrid1->setColumnHidden(c, c < kIdColumns);
        DBGrid1->resizeColumnsToContents();
        for (int c = kIdColumns; c < ADOQuery1->columnCount(); ++c)
            DBGrid1->setColumnWidth(c, std::clamp(DBGrid1->columnWidth(c), kMinColumnWidth, kMaxColumnWidth));
    }
    m_opening = false;
}

void TFormSearch::navigateToRow(int row)
{
    if (!m_store || !m_store->TreeView)
        return;
    QTreeWidgetItem *root =
        m_store->TreeView->topLevelItemCount() ? m_store->TreeView->topLevelItem(0) : nullptr;
    QTreeWidgetItem *type = root ? m_store->FindChildById(root, ADOQuery1->IntAt(row, 0)) : nullptr;
    QTreeWidgetItem *folder = type ? m_store->FindChildById(type, ADOQuery1->IntAt(row, 1)) : nullptr;
    QTreeWidgetItem *file = folder ? m_store->FindChildById(folder, ADOQuery1->IntAt(row, 2)) : nullptr;
    if (file && m_store->TreeView->currentItem() != file) {
        m_store->TreeView->setCurrentItem(file);
        m_store->TreeView->scrollToItem(file);
    }
}
