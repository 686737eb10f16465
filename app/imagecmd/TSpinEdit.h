#pragma once
// A whole-number field with up and down arrows whose text may hold anything while it is
// being typed: its value is the text read as a whole number, or the minimum when the
// text is not one; the value is clamped into the range when the field loses the focus
// and whenever it is set.
#include <QAbstractSpinBox>

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    void SetRange(int minimum, int maximum);
    int MinValue() const { return m_minimum; }
    int MaxValue() const { return m_maximum; }
    // The text read as a whole number, or MinValue when it is not one.
    int Value() const;
    // Shows Value clamped to the range.
    void SetValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_minimum = 0, m_maximum = 99;
};
