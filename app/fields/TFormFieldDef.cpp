#include "TFormFieldDef.h"

#include "Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultLength = 24;
constexpr int kMaxLength = 255;
constexpr int kMaxNameLength = 50; // OUTNAME is CHAR(50): a longer name could never be stored

constexpr const char16_t *kTypeNames[] = {u"字符型", u"整数型", u"实数型", u"备注型"};
constexpr int kTypeCount = int(std::size(kTypeNames));

const QString kDefaultName = QStringLiteral("字段名称");

// The number of an internal name "F<n>"; 0 when the rest is not a whole number.
qint64 NumberOf(const QString &inName)
{
    bool ok = false;
    const qint64 n = inName.mid(1).toLongLong(&ok);
    return ok ? n : 0;
}

// The list's columns.
enum Column { NameColumn, TypeColumn, LengthColumn, RequiredColumn };

} // namespace

// ---- FieldDefTable --------------------------------------------------------------------

QString FieldDefTable::TypeName(int type)
{
    return type >= 0 && type < kTypeCount ? QString::fromUtf16(kTypeNames[type]) : QString();
}

QString FieldDefTable::RequiredMark(bool required)
{
    return required ? QStringLiteral("是") : QString();
}

void FieldDefTable::Load(const FieldDefList &stored)
{
    m_rows.clear();
    for (const FieldRecord *f : stored) {
        if (!f)
            continue;
        m_rows.append({f->InName, f->OutName, f->FieldType, f->FieldLength, f->IsRequired != 0});
        takeNumber(f->InName);
    }
}

void FieldDefTable::takeNumber(const QString &inName)
{
    m_lastNumber = std::max(m_lastNumber, NumberOf(inName));
}

QString FieldDefTable::NextInName()
{
    for (const FieldDefRow &r : m_rows)
        takeNumber(r.InName);
    return QStringLiteral("F%1").arg(++m_lastNumber);
}

int FieldDefTable::IndexOf(const QString &name) const
{
    const QString trimmed = name.trimmed();
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].OutName == trimmed)
            return i;
    return -1;
}

FieldDefTable::Outcome FieldDefTable::Add(const FieldDefRow &values, int &row)
{
    return Insert(int(m_rows.size()), values, row);
}

FieldDefTable::Outcome FieldDefTable::Insert(int before, const FieldDefRow &values, int &row)
{
    FieldDefRow r = values;
    r.OutName = r.OutName.trimmed();
    if (r.OutName.isEmpty())
        return Outcome::EmptyName;
    if (IndexOf(r.OutName) >= 0)
        return Outcome::Duplicate;
    r.InName = NextInName();
    row = before >= 0 && before < m_rows.size() ? before : int(m_rows.size());
    m_rows.insert(row, r);
    return Outcome::Done;
}

FieldDefTable::Outcome FieldDefTable::Change(int row, const FieldDefRow &values)
{
    const QString name = values.OutName.trimmed();
    if (name.isEmpty())
        return Outcome::EmptyName;
    if (row < 0 || row >= m_rows.size())
        return Outcome::NoRow;
    const int same = IndexOf(name);
    if (same >= 0 && same != row)
        return Outcome::Duplicate;
    FieldDefRow &r = m_rows[row];
    r.OutName = name;
    r.FieldType = values.FieldType;
    r.FieldLength = values.FieldLength;
    r.IsRequired = values.IsRequired;
    return Outcome::Done;
}

int FieldDefTable::Delete(int row)
{
    if (row < 0 || row >= m_rows.size())
        return -1;
    m_rows.removeAt(row);
    if (m_rows.isEmpty())
        return -1;
    return std::min(row, int(m_rows.size()) - 1);
}

FieldDefList FieldDefTable::SaveList(int appId) const
{
    FieldDefList list;
    for (int i = 0; i < m_rows.size(); ++i) {
        const FieldDefRow &r = m_rows[i];
        auto *f = new FieldRecord;
        f->AppId = appId;
        f->InName = r.InName;
        f->OutName = r.OutName;
        f->FieldType = r.FieldType;
        f->FieldLength = r.FieldLength;
        f->IsRequired = r.IsRequired ? 1 : 0;
        f->FieldOrder = i;
        list.append(f);
    }
    return list;
}

// ---- TFieldLengthEdit -----------------------------------------------------------------

TFieldLengthEdit::TFieldLengthEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(0, kMaxLength);
    connect(lineEdit(), &QLineEdit::textChanged, this, &TFieldLengthEdit::Edited);
}

QValidator::State TFieldLengthEdit::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    if (input.isEmpty())
        return QValidator::Intermediate;
    // A few digits at most, so the number always fits; the dialog clamps it.
    if (input.size() > 6 || !std::all_of(input.begin(), input.end(), [](QChar c) { return c.isDigit(); }))
        return QValidator::Invalid;
    const int n = input.toInt();
    return n >= minimum() && n <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

QString TFieldLengthEdit::Text() const
{
    return lineEdit()->text();
}

// ---- TFormFieldDef --------------------------------------------------------------------

TFormFieldDef::TFormFieldDef(TCatalogConnection *connection, const QString &appName, int appId,
                             QWidget *parent)
    : QDialog(parent), m_connection(connection), m_appName(appName), m_appId(appId)
{
    setObjectName(QStringLiteral("FormFieldDef"));
    setWindowTitle(QStringLiteral("定制索引字段"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Label2 = new QLabel(QStringLiteral("索引表"), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({QStringLiteral("字段名称"), QStringLiteral("字段类型"),
                                QStringLiteral("字段长度"), QStringLiteral("必须录入")});
    ListView1->header()->setSectionsMovable(false);
    ListView1->setColumnWidth(NameColumn, 140);
    ListView1->setColumnWidth(TypeColumn, 76);
    ListView1->setColumnWidth(LengthColumn, 76);
    ListView1->setMinimumSize(420, 280);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TFormFieldDef::ListView1Change);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(kMaxNameLength);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (int t = 0; t < kTypeCount; ++t)
        ComboBox1->addItem(FieldDefTable::TypeName(t));
    ComboBox1->setCurrentIndex(0);
    // Only the user's choice resets the length; the editor following a row keeps the row's.
    connect(ComboBox1, &QComboBox::activated, this, &TFormFieldDef::ComboBox1Change);

    SpinEdit1 = new TFieldLengthEdit(this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setValue(kDefaultLength);
    connect(SpinEdit1, &TFieldLengthEdit::Edited, this, &TFormFieldDef::SpinEdit1Change);

    CheckBox1 = new QCheckBox(QStringLiteral("必须录入"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));

    auto button = [this](const char *name, const QString &caption, void (TFormFieldDef::*handler)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        // Return in the name box must not save or change anything.
        b->setAutoDefault(false);
        b->setMinimumWidth(72);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    btn_AddField = button("btn_AddField", QStringLiteral("添加"), &TFormFieldDef::btn_AddFieldClick);
    Btn_InsertField = button("Btn_InsertField", QStringLiteral("插入"), &TFormFieldDef::Btn_InsertFieldClick);
    btn_editField = button("btn_editField", QStringLiteral("修改"), &TFormFieldDef::btn_editFieldClick);
    btn_DeleteField = button("btn_DeleteField", QStringLiteral("删除"), &TFormFieldDef::btn_DeleteFieldClick);
    btn_OK = button("btn_OK", QStringLiteral("保存"), &TFormFieldDef::btn_OKClick);
    SpeedButton1 = button("SpeedButton1", QStringLiteral("关闭"), &TFormFieldDef::SpeedButton1Click);

    auto *editor = new QGridLayout;
    editor->setHorizontalSpacing(8);
    editor->setVerticalSpacing(8);
    auto caption = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    editor->addWidget(caption(QStringLiteral("字段名称"), Edit1), 0, 0);
    editor->addWidget(Edit1, 0, 1);
    editor->addWidget(caption(QStringLiteral("字段类型"), ComboBox1), 1, 0);
    editor->addWidget(ComboBox1, 1, 1);
    editor->addWidget(caption(QStringLiteral("字段长度"), SpinEdit1), 2, 0);
    editor->addWidget(SpinEdit1, 2, 1);
    editor->addWidget(CheckBox1, 3, 1);
    editor->setColumnMinimumWidth(1, 160);

    auto *commands = new QGridLayout;
    commands->setSpacing(8);
    commands->addWidget(btn_AddField, 0, 0);
    commands->addWidget(Btn_InsertField, 0, 1);
    commands->addWidget(btn_editField, 1, 0);
    commands->addWidget(btn_DeleteField, 1, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(12);
    right->addSpacing(Label2->sizeHint().height() + 6);
    right->addLayout(editor);
    right->addLayout(commands);
    right->addStretch(1);

    auto *left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(Label2);
    left->addWidget(ListView1, 1);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(16);
    middle->addLayout(left, 1);
    middle->addLayout(right);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btn_OK);
    bottom->addWidget(SpeedButton1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Label1->clear();
    ListView1Change();
}

void TFormFieldDef::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormFieldDef::FormShow()
{
    Label1->setText(m_appName);
    FieldDefList stored;
    FieldStore::LoadFieldDefs(m_connection, m_appId, stored, false, this);
    m_table.Load(stored);
    FieldStore::FreeFieldDefs(stored);
    fillList(-1);
}

int TFormFieldDef::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.first());
}

FieldDefRow TFormFieldDef::editorValues() const
{
    FieldDefRow r;
    r.OutName = Edit1->text().trimmed();
    r.FieldType = std::max(0, ComboBox1->currentIndex());
    r.FieldLength = SpinEdit1->value();
    r.IsRequired = CheckBox1->isChecked();
    return r;
}

void TFormFieldDef::fillList(int row)
{
    {
        const QSignalBlocker block(ListView1);
        ListView1->clear();
        for (const FieldDefRow &r : m_table.Rows()) {
            auto *item = new QTreeWidgetItem(ListView1);
            item->setText(NameColumn, r.OutName);
            item->setText(TypeColumn, FieldDefTable::TypeName(r.FieldType));
            item->setText(LengthColumn, QString::number(r.FieldLength));
            item->setText(RequiredColumn, FieldDefTable::RequiredMark(r.IsRequired));
        }
    }
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row)) {
        ListView1->setCurrentItem(item);
        ListView1->scrollToItem(item);
    }
    ListView1Change();
}

void TFormFieldDef::ListView1Change()
{
    const int row = selectedRow();
    if (row < 0) {
        Edit1->setText(kDefaultName);
        ComboBox1->setCurrentIndex(0);
        SpinEdit1->setEnabled(true);
        SpinEdit1->setValue(kDefaultLength);
        CheckBox1->setChecked(false);
        return;
    }
    const FieldDefRow &r = m_table.Rows().at(row);
    Edit1->setText(r.OutName);
    // The type first: the length box brings a character field's length into range.
    ComboBox1->setCurrentIndex(r.FieldType >= 0 && r.FieldType < kTypeCount ? r.FieldType : -1);
    SpinEdit1->setValue(r.FieldLength);
    SpinEdit1->setEnabled(r.FieldType == 0);
    CheckBox1->setChecked(r.IsRequired);
}

void TFormFieldDef::ComboBox1Change(int index)
{
    if (index == 0) {
        SpinEdit1->setEnabled(true);
        SpinEdit1->setValue(kDefaultLength);
    } else {
        SpinEdit1->setValue(0);
        SpinEdit1->setEnabled(false);
    }
}

void TFormFieldDef::SpinEdit1Change()
{
    const QString text = SpinEdit1->Text();
    if (ComboBox1->currentIndex() != 0 || text.isEmpty())
        return;
    const int n = text.toInt();
    if (n > kMaxLength)
        SpinEdit1->setValue(kMaxLength);
    else if (n < 1)
        SpinEdit1->setValue(1);
}

void TFormFieldDef::reportDuplicate(const QString &caption)
{
    Messages::Show(QStringLiteral("该字段已经存在"), caption, MsgIcon::Information, MsgButtons::Ok, this);
}

void TFormFieldDef::btn_AddFieldClick()
{
    int row = -1;
    switch (m_table.Add(editorValues(), row)) {
    case FieldDefTable::Outcome::Done:
        fillList(row);
        break;
    case FieldDefTable::Outcome::Duplicate:
        reportDuplicate(QStringLiteral("错误"));
        break;
    default:
        break;
    }
}

void TFormFieldDef::Btn_InsertFieldClick()
{
    int row = -1;
    switch (m_table.Insert(selectedRow(), editorValues(), row)) {
    case FieldDefTable::Outcome::Done:
        fillList(row);
        break;
    case FieldDefTable::Outcome::Duplicate:
        reportDuplicate(QStringLiteral("提示"));
        break;
    default:
        break;
    }
}

void TFormFieldDef::btn_editFieldClick()
{
    const int row = selectedRow();
    switch (m_table.Change(row, editorValues())) {
    case FieldDefTable::Outcome::Done:
        fillList(row);
        break;
    case FieldDefTable::Outcome::EmptyName:
        Messages::Show(QStringLiteral("字段名称不能为空"), QStringLiteral("提示"), MsgIcon::Information,
                       MsgButtons::Ok, this);
        break;
    case FieldDefTable::Outcome::Duplicate:
        reportDuplicate(QStringLiteral("错误"));
        break;
    case FieldDefTable::Outcome::NoRow:
        break;
    }
}

void TFormFieldDef::btn_DeleteFieldClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    fillList(m_table.Delete(row));
}

namespace {

bool SameDefinition(const FieldRecord &a, const FieldRecord &b)
{
    return a.InName == b.InName && a.OutName == b.OutName && a.FieldType == b.FieldType &&
           a.FieldLength == b.FieldLength && a.IsRequired == b.IsRequired && a.FieldOrder == b.FieldOrder;
}

} // namespace

void TFormFieldDef::btn_OKClick()
{
    FieldDefList saved = m_table.SaveList(m_appId);
    FieldStore::ApplyFieldDefs(m_connection, m_appId, saved);

    // The store reports each field it could not change on its own; success is only claimed
    // when the stored definitions now are the list that was saved.
    FieldDefList stored;
    FieldStore::LoadFieldDefs(m_connection, m_appId, stored, false, this);
    const bool complete =
        stored.size() == saved.size() &&
        std::equal(saved.begin(), saved.end(), stored.begin(),
                   [](const FieldRecord *a, const FieldRecord *b) { return SameDefinition(*a, *b); });
    FieldStore::FreeFieldDefs(stored);
    FieldStore::FreeFieldDefs(saved);

    if (complete)
        Messages::Show(QStringLiteral("索引字段定义成功，完成数据库修改操作"), QStringLiteral("提示"),
                       MsgIcon::Information, MsgButtons::Ok, nullptr);
}

void TFormFieldDef::SpeedButton1Click()
{
    close();
}
