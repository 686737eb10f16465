#pragma once
// Properties of a catalogue node: name, location, counts, used and free space; for the
// catalogue root also the choice of another repository folder.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TFormFieldDefine : public QDialog {
    Q_OBJECT
public:
    explicit TFormFieldDefine(QWidget *parent = nullptr);

    QTabWidget *PageControl1;
    QLabel *lblname, *lblLoaction, *LblfolderN, *lblFileN, *lblPictureN, *lblSpace, *lblSpaceLeave;
    QLineEdit *edtName, *edtLocation, *edtfolderN, *edtFileN, *edtPicturen, *edtSpace, *edtSpaceLeave;
    QPushButton *SpeedButton10, *SpeedButton6, *SpeedButton7;

    // The root's dialog: the name is fixed and the location can be chosen.
    void SetRootMode();
    // Empties a count row (label and box).
    static void ClearRow(QLabel *label, QLineEdit *box);

private:
    void SpeedButton10Click();
};
