#include "TargetChooser.h"

#include "CatalogContext.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {

constexpr int kLevelRole = Qt::UserRole + 1;

int levelOf(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

} // namespace

TTargetChooser::TTargetChooser(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    Button1 = new QPushButton(QStringLiteral("取消"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TTargetChooser::TreeView1Change);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &TTargetChooser::TreeView1Change);
    resize(360, 420);
}

void TTargetChooser::SetMainTree(QTreeWidget *mainTree, const QList<QPixmap> &levelPictures)
{
    m_mainTree = mainTree;
    m_pictures = levelPictures;
}

void TTargetChooser::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (TreeView1->topLevelItemCount() == 0)
        CopyCatalogTree();
}

void TTargetChooser::CopyCatalogTree()
{
    TreeView1->clear();
    btnOk->setEnabled(false);
    if (!m_mainTree)
        return;
    // Depth first in display order, as the absolute index counts; the copy is built
    // apart and put in the dialog's tree whole.
    QHash<const QTreeWidgetItem *, QTreeWidgetItem *> copyOf;
    QList<QPair<QTreeWidgetItem *, bool>> expanded;
    QList<QTreeWidgetItem *> tops;
    for (QTreeWidgetItemIterator it(m_mainTree); *it; ++it) {
        const QTreeWidgetItem *source = *it;
        auto *copy = new QTreeWidgetItem(QStringList{source->text(0)});
        const int level = levelOf(source);
        copy->setData(0, kLevelRole, level);
        if (level < m_pictures.size())
            copy->setIcon(0, QIcon(m_pictures[level]));
        if (QTreeWidgetItem *parent = copyOf.value(source->parent()))
            parent->addChild(copy);
        else
            tops << copy;
        copyOf.insert(source, copy);
        expanded.append({copy, source->isExpanded()});
    }
    TreeView1->addTopLevelItems(tops);
    for (const auto &[copy, open] : expanded)
        copy->setExpanded(open);
    m_mergedIndex = AbsoluteIndex(m_mainTree->currentItem());
    btnOk->setEnabled(false);
}

int TTargetChooser::SelectedIndex() const
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (!node || !node->isSelected())
        return -1;
    return AbsoluteIndex(node);
}

void TTargetChooser::TreeView1Change()
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    btnOk->setEnabled(node && node->isSelected() &&
                      Acceptable(node->data(0, kLevelRole).toInt(), AbsoluteIndex(node)));
}

TForm2::TForm2(QWidget *parent) : TTargetChooser(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("浏览目录结构"));
    Label1->setText(QStringLiteral("将选定的项目复制到..."));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(TreeView1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
}

bool TForm2::Acceptable(int level, int) const
{
    return level == 2 || level == 3;
}

TForm6::TForm6(QWidget *parent) : TTargetChooser(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("文件合并"));
    Label1->setText(QStringLiteral("将选定文件合并到..."));
    RadioGroup1 = new TRadioGroup("RadioGroup1", QStringLiteral("合并方式"),
                                  {QStringLiteral("所有页面前"), QStringLiteral("所有页面后"),
                                   QStringLiteral("交错置前（选定文件为奇数页）"),
                                   QStringLiteral("交错置后（选定文件为偶数页）")},
                                  2, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(TreeView1, 1);
    layout->addWidget(RadioGroup1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
    resize(460, 480);
}

int TForm6::MergeMode() const
{
    return RadioGroup1->ItemIndex();
}

bool TForm6::Acceptable(int level, int absoluteIndex) const
{
    return level == 3 && absoluteIndex != m_mergedIndex;
}
