#include "TSpinEdit.h"

#include <QLineEdit>

#include <algorithm>

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent) {}

void TSpinEdit::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

int TSpinEdit::Value() const
{
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    return ok ? v : m_minimum;
}

void TSpinEdit::SetValue(int value)
{
    lineEdit()->setText(QString::number(std::clamp(value, m_minimum, m_maximum)));
}

void TSpinEdit::stepBy(int steps)
{
    SetValue(Value() + steps);
}

QValidator::State TSpinEdit::validate(QString &, int &) const
{
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    SetValue(Value());
    QAbstractSpinBox::focusOutEvent(event);
}
