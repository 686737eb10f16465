#pragma once
// The brightness and contrast dialog: the viewer's two track bars on its panel, and
// buttons that keep or drop what they preview.
#include <QDialog>

class QPushButton;
class TForm5;

class TFormBrightContrast : public QDialog {
    Q_OBJECT
public:
    explicit TFormBrightContrast(TForm5 *viewer, QWidget *parent = nullptr);

    // Receives the viewer's track-bar bar at its top-left corner.
    QWidget *Panel1;
    QPushButton *Button1, *Button2;

    void Button1Click(); // "确定"
    void Button2Click(); // "取消"

protected:
    void reject() override;
    void showEvent(QShowEvent *event) override;

private:
    TForm5 *m_viewer;
};
