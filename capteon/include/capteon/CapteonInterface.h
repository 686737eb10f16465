#pragma once
// The scanner control as a host sees it. The host loads libcapteon.so with
// QPluginLoader, casts the instance to CapteonFactory and creates one control per
// scan panel. This header is all the host includes; the scanner library stays
// inside the plugin.
//
//   QPluginLoader loader(appPath + "libcapteon.so");
//   auto *factory = qobject_cast<CapteonFactory *>(loader.instance());
//   CapteonControl *scanner = factory->createControl(panel);
//   scanner->setParentWindow(mainWindow);
//   scanner->onPageDone(panel, [](HGLOBAL dib) { /* read, never free */ });
//   try { scanner->Scan(); } catch (const std::exception &e) { /* e.what() */ }
#include "globalmem.h"

#include <QString>
#include <QtPlugin>

#include <functional>

class QObject;
class QWidget;

// One scanner control. Every member keeps the name the program knows it by; the
// control's widget carries the same names as Qt properties, invokable methods and
// the signals PageDone(quintptr hBitmap) and ScanDone().
class CapteonControl {
public:
    virtual ~CapteonControl() = default;

    // The control's own widget, a child of the parent given to the factory and
    // hidden; deleting it (or its parent) destroys the control.
    virtual QWidget *widget() = 0;

    // Size in pixels of the last delivered page.
    virtual int imagewidth() const = 0;
    virtual int imageheight() const = 0;
    // Scan both sides where the device's sources (or a duplex option) allow it.
    virtual bool Duplex() const = 0;
    virtual void setDuplex(bool duplex) = 0;
    // Written: the resolution asked for (0 keeps the device's). Read: the real
    // resolution of the page being delivered, or of the last scan.
    virtual int XResolution() const = 0;
    virtual void setXResolution(int dpi) = 0;
    virtual int YResolution() const = 0;
    virtual void setYResolution(int dpi) = 0;
    // Pages delivered by the running or last scan.
    virtual short PageCount() const = 0;
    // When not empty, a folder where every delivered page is also written as
    // page0001.bmp, page0002.bmp, ...
    virtual QString ImagePath() const = 0;
    virtual void setImagePath(const QString &path) = 0;
    // "A4", "A5", "B5", "Letter", "Legal", "A3" or "Max" sets the scan area; empty
    // keeps the device's area.
    virtual QString PaperSize() const = 0;
    virtual void setPaperSize(const QString &name) = 0;
    // The device's paper source by its own name ("Flatbed", "ADF", ...). A source that
    // is a feeder scans until it runs empty; empty keeps the device's source.
    virtual QString Feeder() const = 0;
    virtual void setFeeder(const QString &source) = 0;
    // Passed to the device's options of these names when it has them; a value is
    // only applied once it has been written.
    virtual short Brightness() const = 0;
    virtual void setBrightness(short value) = 0;
    virtual short Contrast() const = 0;
    virtual void setContrast(short value) = 0;
    virtual short Threshold() const = 0;
    virtual void setThreshold(short value) = 0;
    // Show the device's options before each scan.
    virtual bool ShowUI() const = 0;
    virtual void setShowUI(bool show) = 0;
    // The chosen scanner's display name; writing a device name or display name
    // chooses that device.
    virtual QString Scanner() const = 0;
    virtual void setScanner(const QString &scanner) = 0;
    // The window the control's dialogs and progress window belong to.
    virtual QWidget *Parent() const = 0;
    virtual void setParentWindow(QWidget *window) = 0;

    // Any device option by its scanner-library name (for example "mode" with
    // "Color", "Gray" or "Lineart"), remembered for the chosen device and applied
    // before the properties above at the next scan.
    virtual void setDeviceOption(const QString &name, const QString &value) = 0;

    // Acquires pages; returns when the device has delivered all of them, the
    // operator cancelled or the options dialog was cancelled. PageDone runs once
    // per page inside the call, on the GUI thread, while windows keep painting.
    // A device fault throws std::runtime_error with the operator's text; pages
    // delivered before it stay delivered. After a cancel, the pages already read
    // are still delivered, in order, before the call returns.
    virtual void Scan() = 0;
    // Lets the operator choose among the scanners found; Scanner then holds it.
    virtual void SelectScanner() = 0;

    // PageDone(hBitmap): a packed bottom-up DIB in a global memory block. The control
    // owns the block and frees it after the handler returns. An exception thrown by
    // the handler ends the scan and comes out of Scan as a std::runtime_error whose
    // text adds how many pages, from the failed one on, were read but not delivered
    // (handlers connected to the widget's Qt signal instead must not throw). A handler stays registered while
    // its context object lives.
    virtual void onPageDone(QObject *context, std::function<void(HGLOBAL hBitmap)> handler) = 0;
    // ScanDone: after the last page of a scan.
    virtual void onScanDone(QObject *context, std::function<void()> handler) = 0;
};

// The plugin's root object.
class CapteonFactory {
public:
    virtual ~CapteonFactory() = default;
    // A new control as a hidden child widget of parent (which owns it).
    virtual CapteonControl *createControl(QWidget *parent) = 0;
};

#define CapteonFactory_iid "org.arkavo.Capteon.CapteonFactory/1.0"
Q_DECLARE_INTERFACE(CapteonFactory, CapteonFactory_iid)
