#include "ScanOptionsDialog.h"
#include "PaperSize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

namespace arkavo::capteon {

namespace {

const char *const kGeometry[] = {"tl-x", "tl-y", "br-x", "br-y"};

QString numberText(double v, bool fixed)
{
    return fixed ? QString::number(v, 'g', 10) : QString::number(qint64(std::llround(v)));
}

} // namespace

ScanOptionsDialog::ScanOptionsDialog(const QString &deviceTitle, OptionList options, Setter setter,
                                     QWidget *parent)
    : QDialog(parent), m_options(std::move(options)), m_setter(std::move(setter))
{
    setObjectName(QStringLiteral("CapteonOptions"));
    setWindowTitle(QStringLiteral("扫描设置 - ") + deviceTitle);
    auto *layout = new QVBoxLayout(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_scroll, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("扫描"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnScan"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    rebuild();
    resize(480, 680);
}

const OptionDescriptor *ScanOptionsDialog::find(const QString &name) const
{
    for (const OptionDescriptor &o : m_options)
        if (o.name == name)
            return &o;
    return nullptr;
}

void ScanOptionsDialog::change(const QString &name, const QString &value)
{
    const OptionDescriptor *o = find(name);
    if (!o || (o->type != OptionDescriptor::Type::Button && o->value == value))
        return;
    m_options = m_setter(name, value);
    // The editor that sent the change is still on the stack: rebuild afterwards.
    if (!m_rebuildQueued) {
        m_rebuildQueued = true;
        QMetaObject::invokeMethod(this, &ScanOptionsDialog::rebuild, Qt::QueuedConnection);
    }
}

void ScanOptionsDialog::changePaper(const QString &paper)
{
    const OptionDescriptor *brx = find(QStringLiteral("br-x"));
    const OptionDescriptor *bry = find(QStringLiteral("br-y"));
    if (!brx || !bry)
        return;
    double width = brx->maximum;
    double height = bry->maximum;
    if (auto size = paperSizeByName(paper)) {
        width = std::min(size->width, brx->maximum);
        height = std::min(size->height, bry->maximum);
    }
    m_setter(QStringLiteral("tl-x"), QStringLiteral("0"));
    m_setter(QStringLiteral("tl-y"), QStringLiteral("0"));
    m_setter(QStringLiteral("br-x"), QString::number(width, 'g', 10));
    m_options = m_setter(QStringLiteral("br-y"), QString::number(height, 'g', 10));
    if (!m_rebuildQueued) {
        m_rebuildQueued = true;
        QMetaObject::invokeMethod(this, &ScanOptionsDialog::rebuild, Qt::QueuedConnection);
    }
}

QWidget *ScanOptionsDialog::editorFor(const OptionDescriptor &o, QWidget *parent)
{
    using Type = OptionDescriptor::Type;
    using Constraint = OptionDescriptor::Constraint;
    const QString name = o.name;
    const bool fixed = o.type == Type::Fixed;
    QWidget *editor = nullptr;
    if (o.type == Type::Button) {
        auto *b = new QPushButton(o.title, parent);
        connect(b, &QPushButton::clicked, this, [this, name] { change(name, QString()); });
        editor = b;
    } else if (o.type == Type::Bool) {
        auto *c = new QCheckBox(parent);
        c->setChecked(o.value == QLatin1String("true"));
        connect(c, &QCheckBox::toggled, this, [this, name](bool on) {
            change(name, on ? QStringLiteral("true") : QStringLiteral("false"));
        });
        editor = c;
    } else if (o.constraint == Constraint::StringList || o.constraint == Constraint::WordList) {
        auto *c = new QComboBox(parent);
        if (o.constraint == Constraint::StringList) {
            c->addItems(o.strings);
            c->setCurrentIndex(std::max(0, int(o.strings.indexOf(o.value))));
        } else {
            for (double w : o.words) {
                const QString text = numberText(w, fixed);
                c->addItem(o.unit.isEmpty() ? text : text + QLatin1Char(' ') + o.unit, text);
                if (std::fabs(w - o.value.toDouble()) < 1e-6)
                    c->setCurrentIndex(c->count() - 1);
            }
        }
        connect(c, &QComboBox::activated, this, [this, name, c](int index) {
            const QVariant data = c->itemData(index);
            change(name, data.isValid() ? data.toString() : c->itemText(index));
        });
        editor = c;
    } else if (o.type == Type::Int) {
        auto *s = new QSpinBox(parent);
        if (o.constraint == Constraint::Range) {
            s->setRange(int(o.minimum), int(o.maximum));
            s->setSingleStep(o.quant >= 1 ? int(o.quant) : 1);
        } else {
            s->setRange(INT_MIN, INT_MAX);
        }
        if (!o.unit.isEmpty())
            s->setSuffix(QLatin1Char(' ') + o.unit);
        s->setValue(o.value.toInt());
        connect(s, &QSpinBox::editingFinished, this,
                [this, name, s] { change(name, QString::number(s->value())); });
        editor = s;
    } else if (o.type == Type::Fixed) {
        auto *s = new QDoubleSpinBox(parent);
        s->setDecimals(2);
        if (o.constraint == Constraint::Range) {
            s->setRange(o.minimum, o.maximum);
            s->setSingleStep(o.quant > 0 ? o.quant : 1.0);
        } else {
            s->setRange(-32768.0, 32767.0);
        }
        if (!o.unit.isEmpty())
            s->setSuffix(QLatin1Char(' ') + o.unit);
        s->setValue(o.value.toDouble());
        connect(s, &QDoubleSpinBox::editingFinished, this,
                [this, name, s] { change(name, QString::number(s->value(), 'g', 10)); });
        editor = s;
    } else {
        auto *e = new QLineEdit(o.value, parent);
        connect(e, &QLineEdit::editingFinished, this, [this, name, e] { change(name, e->text()); });
        editor = e;
    }
    editor->setObjectName(name);
    editor->setToolTip(o.description);
    editor->setEnabled(o.settable);
    return editor;
}

void ScanOptionsDialog::rebuild()
{
    m_rebuildQueued = false;
    const int scrollPos = m_scroll->widget() ? m_scroll->verticalScrollBar()->value() : 0;
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    QGroupBox *box = nullptr;
    QFormLayout *form = nullptr;
    QString currentGroup;
    auto openGroup = [&](const QString &title) {
        box = new QGroupBox(title.isEmpty() ? QStringLiteral("常规") : title, content);
        form = new QFormLayout(box);
        column->addWidget(box);
        currentGroup = title;
    };
    bool paperOffered = false;
    for (const OptionDescriptor &o : m_options) {
        if (o.type == OptionDescriptor::Type::Group || !o.active || o.count != 1 || o.name.isEmpty())
            continue;
        if (!form || o.group != currentGroup)
            openGroup(o.group);
        // The scan area gets a paper-size choice in front of its four edges.
        if (!paperOffered && o.name == QLatin1String(kGeometry[0])) {
            const OptionDescriptor *brx = find(QStringLiteral("br-x"));
            const OptionDescriptor *bry = find(QStringLiteral("br-y"));
            if (brx && bry && brx->active && bry->active && brx->settable) {
                paperOffered = true;
                auto *paper = new QComboBox(box);
                paper->setObjectName(QStringLiteral("PaperSize"));
                paper->addItem(QStringLiteral("自定义"));
                for (const PaperFormat &p : paperSizes())
                    if (p.width <= brx->maximum + 0.5 && p.height <= bry->maximum + 0.5)
                        paper->addItem(p.name);
                paper->addItem(QStringLiteral("Max"));
                const OptionDescriptor *tlx = find(QStringLiteral("tl-x"));
                const OptionDescriptor *tly = find(QStringLiteral("tl-y"));
                const bool atOrigin = tlx && tly && tlx->value.toDouble() == 0 && tly->value.toDouble() == 0;
                const QString name =
                    atOrigin ? paperSizeName(brx->value.toDouble(), bry->value.toDouble()) : QString();
                paper->setCurrentIndex(std::max(0, paper->findText(name)));
                connect(paper, &QComboBox::activated, this, [this, paper](int index) {
                    if (index > 0)
                        changePaper(paper->itemText(index));
                });
                form->addRow(QStringLiteral("纸张大小:"), paper);
            }
        }
        QWidget *editor = editorFor(o, box);
        if (o.type == OptionDescriptor::Type::Button)
            form->addRow(editor);
        else
            form->addRow(o.title + QLatin1Char(':'), editor);
    }
    column->addStretch(1);
    QWidget *old = m_scroll->takeWidget();
    m_scroll->setWidget(content);
    if (old)
        old->deleteLater();
    m_scroll->verticalScrollBar()->setValue(scrollPos);
}

} // namespace arkavo::capteon
