#pragma once
// The image-view control as its host sees it. A host includes only this header,
// loads libovisco.so with QPluginLoader and never links the plugin:
//
//     QPluginLoader loader(appPath + "libovisco.so");
//     auto *factory = qobject_cast<OviscoFactory *>(loader.instance());
//     OviscoControl *picture = factory ? factory->createControl(parent) : nullptr;
//     picture->widget()->setGeometry(...);
//     picture->sethDIB(page);                 // the host keeps owning page
//     picture->onSelectionDrawn(this, [this](int l, int t, int r, int b) { ... });
//
// The plugin's metadata ("MetaData" in QPluginLoader::metaData()) names the
// control: {"Name": "Ovisco Control", "Version": "1.0"}.
//
// The same members are reachable by name on widget(): the properties SelectionRect,
// hDIB, Zoom, ImageHeight, ImageWidth, ImageScaleWidth, ImageScaleHeight,
// ScrollPositionX, ScrollPositionY and Color (QObject::setProperty / property), the
// invokable methods FitTo(int), UpdateDIB(HGLOBAL*) and AboutBox(), and the signals
// SelectionDrawn(int,int,int,int) and DisplayDIBChanged(HGLOBAL*), so a host may also
// use string-based connects, e.g. SIGNAL(SelectionDrawn(int,int,int,int)). Events are
// always delivered synchronously on the GUI thread.
#include <QColor>
#include <QMetaObject>
#include <QtPlugin>

#include <functional>

#include "globalmem.h"

class QObject;
class QWidget;

// Result of a control method that may be missing behind its name.
enum class OviscoResult {
    Ok = 0,
    MemberNotFound = 1, // the method exists in the interface but the control has nothing behind it
};

// One instance of the control. Every call must come from the GUI thread.
class OviscoControl {
public:
    virtual ~OviscoControl() = default;

    // The control's widget; it belongs to the parent given at creation.
    virtual QWidget *widget() = 0;

    // Left-button tool: true = rubber-band selection, false = panning (initial).
    // Every write clears the selection.
    virtual bool SelectionRect() const = 0;
    virtual void setSelectionRect(bool on) = 0;

    // The shown image: a global block holding a packed bottom-up DIB of 1, 8 or 24
    // bits per pixel, or null for none. The host keeps owning it, must keep it alive
    // and unchanged while it is shown, and writes the same handle again after changing
    // its pixels. A handle that is not such a DIB is shown as no image and hDIB()
    // then reads null; the host still owns and frees that block.
    virtual HGLOBAL hDIB() const = 0;
    virtual void sethDIB(HGLOBAL dib) = 0;

    // Scale in percent, initially 100. Writes outside 2 ... 10000 are ignored.
    virtual double Zoom() const = 0;
    virtual void setZoom(double zoom) = 0;

    // Size of the image in pixels; set by sethDIB, a write only stores the value.
    virtual int ImageHeight() const = 0;
    virtual void setImageHeight(int height) = 0;
    virtual int ImageWidth() const = 0;
    virtual void setImageWidth(int width) = 0;

    // Size of the zoomed image in screen pixels; a write only stores the value.
    virtual int ImageScaleWidth() const = 0;
    virtual void setImageScaleWidth(int width) = 0;
    virtual int ImageScaleHeight() const = 0;
    virtual void setImageScaleHeight(int height) = 0;

    // Offset of the view into the zoomed image. A write scrolls when the zoomed image
    // is wider (taller) than the view and 0 <= value < zoomed size - view size.
    virtual int ScrollPositionX() const = 0;
    virtual void setScrollPositionX(int x) = 0;
    virtual int ScrollPositionY() const = 0;
    virtual void setScrollPositionY(int y) = 0;

    // Background painted around and behind the image.
    virtual QColor Color() const = 0;
    virtual void setColor(const QColor &color) = 0;

    // 0 best fit, 1 fit width, 2 fit height, 4 actual size; other modes do nothing.
    virtual void FitTo(int nFitMode) = 0;
    // Not implemented by the control: always MemberNotFound, the handle is untouched.
    virtual OviscoResult UpdateDIB(HGLOBAL *hNewDib) = 0;
    // Shows "About Ovisco Control" modally.
    virtual void AboutBox() = 0;

    // Events. The handler runs synchronously inside the control's call and is dropped
    // when context is destroyed.
    //
    // SelectionDrawn(Left, Top, Right, Bottom): the left button was released after a
    // rubber-band drag; start and end corner in image pixels (top-left origin), not
    // reordered, clamped to the image.
    virtual QMetaObject::Connection onSelectionDrawn(QObject *context,
                                                     std::function<void(int, int, int, int)> handler) = 0;
    // DisplayDIBChanged(pHDisplayDIB): a new display bitmap (the visible part of the
    // zoomed image, already scaled, a packed DIB) was built and is about to be
    // painted. The handler may change its pixels or store another handle of the same
    // size in *pHDisplayDIB; it then frees the block it replaced, and the control owns
    // and frees the new one.
    virtual QMetaObject::Connection onDisplayDIBChanged(QObject *context,
                                                        std::function<void(HGLOBAL *)> handler) = 0;
};

#define OviscoControl_iid "org.arkavo.Ovisco.OviscoControl/1.0"
Q_DECLARE_INTERFACE(OviscoControl, OviscoControl_iid)

// The plugin's root object.
class OviscoFactory {
public:
    virtual ~OviscoFactory() = default;
    // A new, independent control whose widget is a child of parent (may be null).
    // The widget owns the control: deleting widget() destroys it.
    virtual OviscoControl *createControl(QWidget *parent) = 0;
};

#define OviscoFactory_iid "org.arkavo.Ovisco.OviscoFactory/1.0"
Q_DECLARE_INTERFACE(OviscoFactory, OviscoFactory_iid)
