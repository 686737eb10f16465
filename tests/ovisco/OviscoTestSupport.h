#pragma once
// Page images built in code, the application object and mouse input for the
// image-view tests.
#include <arkavo/GlobalBlock.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace ovtest {

inline QApplication *app()
{
    static int argc = 1;
    static char name[] = "ovisco_test";
    static char *argv[] = {name, nullptr};
    static QApplication *instance = new QApplication(argc, argv);
    return instance;
}

inline int strideOf(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

inline void put32(std::uint8_t *p, std::uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// A packed bottom-up DIB. pixel(x, y) gives the value at column x of row y counted
// from the top of the picture: a palette index (0/1 or 0..255) or 0xRRGGBB for 24 bits.
// palette lists 0xRRGGBB entries (biClrUsed = its size).
inline arkavo::GlobalBlock makeDib(int width, int height, int bits, const std::vector<std::uint32_t> &palette,
                                   const std::function<std::uint32_t(int, int)> &pixel)
{
    const int stride = strideOf(width, bits);
    const std::size_t offset = 40 + 4 * palette.size();
    arkavo::GlobalBlock block = arkavo::GlobalBlock::allocate(offset + std::size_t(stride) * height);
    arkavo::GlobalLockGuard lock(block.get());
    std::uint8_t *p = lock.data();
    put32(p, 40);
    put32(p + 4, std::uint32_t(width));
    put32(p + 8, std::uint32_t(height));
    p[12] = 1;
    p[14] = std::uint8_t(bits);
    put32(p + 20, std::uint32_t(stride * height));
    put32(p + 32, std::uint32_t(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        p[40 + 4 * i] = std::uint8_t(palette[i]);
        p[41 + 4 * i] = std::uint8_t(palette[i] >> 8);
        p[42 + 4 * i] = std::uint8_t(palette[i] >> 16);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = p + offset + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            if (bits == 1) {
                if (v)
                    row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else if (bits == 8) {
                row[x] = std::uint8_t(v);
            } else {
                row[3 * x] = std::uint8_t(v);
                row[3 * x + 1] = std::uint8_t(v >> 8);
                row[3 * x + 2] = std::uint8_t(v >> 16);
            }
        }
    }
    return block;
}

inline std::vector<std::uint32_t> greyRamp()
{
    std::vector<std::uint32_t> pal(256);
    for (std::uint32_t i = 0; i < 256; ++i)
        pal[i] = i * 0x010101u;
    return pal;
}

// An 8-bit grey page of the given size, all one value.
inline arkavo::GlobalBlock plainGrey(int width, int height, int value = 128)
{
    return makeDib(width, height, 8, greyRamp(), [value](int, int) { return std::uint32_t(value); });
}

inline void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// Left-button drag through the given client points: press at the first, moves, release at the last.
inline void drag(QWidget *view, const std::vector<QPoint> &points)
{
    sendMouse(view, QEvent::MouseButtonPress, points.front(), Qt::LeftButton, Qt::LeftButton);
    for (std::size_t i = 1; i < points.size(); ++i)
        sendMouse(view, QEvent::MouseMove, points[i], Qt::NoButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseButtonRelease, points.back(), Qt::LeftButton, Qt::NoButton);
}

} // namespace ovtest
