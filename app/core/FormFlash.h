#pragma once
// The splash window: a borderless 530 × 410 picture in the middle of the screen;
// a click on it closes it.
#include <QWidget>

class QLabel;

class TFormFlash : public QWidget {
    Q_OBJECT
public:
    explicit TFormFlash(QWidget *parent = nullptr);
    QLabel *Image1;

    // The picture, drawn rather than shipped so it always matches the program's name.
    static QPixmap SplashPicture();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
