#include "TformFieldInput.h"

#include "CatalogContext.h"
#include "FieldValueDelegate.h"
#include "Messages.h"
#include "Quietly.h"
#include "TImageManager.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int KeyColumn = 0;
constexpr int ValueColumn = 1;

} // namespace

TformFieldInput::TformFieldInput(TImageManager *store, QWidget *parent)
    : QWidget(parent), Beep([] { QApplication::beep(); }), m_store(store)
{
    setObjectName(QStringLiteral("formFieldInput"));

    ValueListEditor1 = new QTableWidget(0, 2, this);
    ValueListEditor1->setObjectName(QStringLiteral("ValueListEditor1"));
    ValueListEditor1->setHorizontalHeaderLabels({QStringLiteral("字段"), QStringLiteral("内容")});
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    ValueListEditor1->setSelectionMode(QAbstractItemView::SingleSelection);
    ValueListEditor1->setItemDelegateForColumn(ValueColumn,
                                               new FieldValueDelegate(m_defs, Beep, ValueListEditor1));

    btn_save = new QPushButton(QStringLiteral("保存"), this);
    btn_save->setObjectName(QStringLiteral("btn_save"));
    btn_save->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_save);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(ValueListEditor1);
    layout->addLayout(buttons);

    connect(ValueListEditor1, &QTableWidget::itemChanged, this, [this] {
        if (!m_filling)
            btn_save->setEnabled(true);
    });
    connect(btn_save, &QPushButton::clicked, this, &TformFieldInput::btn_saveClick);
    setEditing(false);
}

TformFieldInput::~TformFieldInput()
{
    FieldStore::FreeFieldDefs(m_defs);
}

void TformFieldInput::Follow(TCatalogContext *context)
{
    connect(context, &TCatalogContext::NodeLeaving, this, &TformFieldInput::SaveIfChanged);
    connect(context, &TCatalogContext::NodeShown, this, &TformFieldInput::LoadNode);
}

void TformFieldInput::LoadNode(QTreeWidgetItem *node)
{
    if (!isVisible())
        return;
    // Lets the tree show its new selection before the values are read.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (node && m_store->NodeKind(node) == 3) {
        FieldStore::FreeFieldDefs(m_defs);
        m_store->LoadFieldDefs(m_store->ShownAppId, m_defs, true);
        m_defsAppId = m_store->ShownAppId;
        clearGrid();
        QStringList values;
        m_store->ReadFieldValues(m_defs, values, m_store->ShownImageId, m_store->ShownBatchId,
                                 m_store->ShownAppId);
        m_filling = true;
        ValueListEditor1->setRowCount(m_defs.size());
        for (int row = 0; row < m_defs.size(); ++row) {
            auto *key = new QTableWidgetItem(m_defs[row]->OutName);
            key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            ValueListEditor1->setItem(row, KeyColumn, key);
            ValueListEditor1->setItem(row, ValueColumn, new QTableWidgetItem(values.value(row)));
        }
        m_filling = false;
        setEditing(true);
    } else {
        clearGrid();
        FieldStore::FreeFieldDefs(m_defs);
        m_defsAppId = 0;
        setEditing(false);
    }
    btn_save->setEnabled(false);
}

void TformFieldInput::SaveIfChanged()
{
    commitOpenEditor();
    if (btn_save->isEnabled())
        save();
}

bool TformFieldInput::HasUnsavedChanges() const
{
    return btn_save->isEnabled();
}

void TformFieldInput::btn_saveClick()
{
    commitOpenEditor();
    save();
}

void TformFieldInput::save()
{
    if (m_defs.isEmpty()) {
        btn_save->setEnabled(false);
        return;
    }
    QStringList values;
    for (int row = 0; row < ValueListEditor1->rowCount(); ++row) {
        const QTableWidgetItem *item = ValueListEditor1->item(row, ValueColumn);
        values << (item ? item->text() : QString());
    }
    // The definitions describe the value table of the type they were read for; should the
    // shown file have gone to another type meanwhile, they would land in foreign columns.
    const bool sameFile = m_store->ShownAppId == m_defsAppId && m_store->ShownImageId > 0;
    bool written = false;
    // A store that throws has not saved either: the operator hears of it as of a refusal.
    arkavo::Quietly("saving index values", [&] {
        written = sameFile && m_store->WriteFieldValues(m_defs, values, m_store->ShownImageId,
                                                        m_store->ShownBatchId, m_store->ShownAppId);
    });
    if (!written)
        Messages::Error(QStringLiteral("保存失败！"), window());
    // Also after a failure: the grid keeps the edits, but leaving the file does not retry.
    btn_save->setEnabled(false);
}

void TformFieldInput::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    LoadNode(m_store->TreeView ? m_store->TreeView->currentItem() : nullptr);
}

void TformFieldInput::hideEvent(QHideEvent *event)
{
    SaveIfChanged();
    QWidget::hideEvent(event);
}

void TformFieldInput::clearGrid()
{
    if (QWidget *editor = ValueListEditor1->indexWidget(ValueListEditor1->currentIndex()))
        static_cast<FieldValueDelegate *>(ValueListEditor1->itemDelegateForColumn(ValueColumn))
            ->finish(editor, false);
    m_filling = true;
    ValueListEditor1->setRowCount(0);
    m_filling = false;
}

void TformFieldInput::setEditing(bool on)
{
    ValueListEditor1->setEditTriggers(on ? QAbstractItemView::DoubleClicked |
                                               QAbstractItemView::EditKeyPressed |
                                               QAbstractItemView::AnyKeyPressed
                                         : QAbstractItemView::NoEditTriggers);
}

void TformFieldInput::commitOpenEditor()
{
    const QModelIndex current = ValueListEditor1->currentIndex();
    if (current.column() != ValueColumn)
        return;
    if (QWidget *editor = ValueListEditor1->indexWidget(current))
        static_cast<FieldValueDelegate *>(ValueListEditor1->itemDelegateForColumn(ValueColumn))
            ->finish(editor, true);
}
