#include "TSpinEdit.h"

#include "ImageProcSettings.h"

#include <QLineEdit>

#include <algorithm>

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    setAccelerated(true);
    SetValue(m_minimum);
}

void TSpinEdit::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    update(); // the arrows' enabled state follows the range
}

int TSpinEdit::Value() const
{
    return ImageProcSettings::WholeNumber(text()).value_or(m_minimum);
}

void TSpinEdit::SetValue(int value)
{
    const QString shown = QString::number(std::clamp(value, m_minimum, m_maximum));
    if (lineEdit()->text() != shown)
        lineEdit()->setText(shown);
    update();
}

void TSpinEdit::stepBy(int steps)
{
    // Steps start from the value as it would be clamped (an arrow down on "20" in a field of
    // 1..9 gives 8), and the sum is taken wide enough not to overflow.
    const long long from = std::clamp(Value(), m_minimum, m_maximum);
    SetValue(int(std::clamp<long long>(from + steps, m_minimum, m_maximum)));
    selectAll();
}

QValidator::State TSpinEdit::validate(QString &, int &) const
{
    // Any text may stand while it is typed; Value reads what it can from it.
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    const int value = std::clamp(Value(), m_minimum, m_maximum);
    StepEnabled enabled = StepNone;
    if (value < m_maximum)
        enabled |= StepUpEnabled;
    if (value > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    SetValue(Value());
    QAbstractSpinBox::focusOutEvent(event);
}
