#pragma once
// Asks for the angle of a custom rotation; only a number closes it with OK.
#include <QDialog>

class QLineEdit;
class QPushButton;

class TFormSetAngle : public QDialog {
    Q_OBJECT
public:
    explicit TFormSetAngle(QWidget *parent = nullptr);

    QLineEdit *EdtAngle;
    QPushButton *BitBtn1, *BitBtn2; // "OK", "Cancel"

    void BitBtn1Click();
    // The entered angle; valid after the dialog closed with OK.
    double Angle() const;
};
