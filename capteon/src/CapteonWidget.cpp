#include "CapteonWidget.h"
#include "PaperSize.h"
#include "ScanOptionsDialog.h"
#include "ScanProgressWindow.h"
#include "ScannerSelectDialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QThread>
#include <QUrl>

#include <arkavo/Dib.h>

#include <algorithm>

namespace arkavo::capteon {

namespace {

// Options applied first, because others appear or change with them.
const QStringList kLeadingOptions = {QStringLiteral("mode"),         QStringLiteral("depth"),
                                     QStringLiteral("source"),       QStringLiteral("resolution"),
                                     QStringLiteral("x-resolution"), QStringLiteral("y-resolution")};
const QStringList kGeometry = {QStringLiteral("tl-x"), QStringLiteral("tl-y"), QStringLiteral("br-x"),
                               QStringLiteral("br-y")};

bool isFeederSource(const QString &source)
{
    static const char *const words[] = {"adf", "feeder", "duplex", "automatic", "document"};
    const QString s = source.toLower();
    return std::any_of(std::begin(words), std::end(words),
                       [&](const char *w) { return s.contains(QLatin1String(w)); });
}

QString optionsKey(const QString &device)
{
    // Device names may hold '/' and ':', which the settings file treats specially.
    return QStringLiteral("Options/") + QString::fromLatin1(QUrl::toPercentEncoding(device));
}

// Finding, opening and setting up a device can take the scanner library seconds.
[[nodiscard]] auto waitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return qScopeGuard([] { QApplication::restoreOverrideCursor(); });
}

// The page as a .bmp file: a file header in front of the packed DIB.
bool writeBmp(const QString &path, const GlobalBlock &page)
{
    GlobalLockGuard lock(page.get());
    if (!lock)
        return false;
    const std::uint8_t *dib = lock.data();
    const std::size_t size = page.size();
    const std::uint32_t colours = readLe32(dib + dib::ClrUsed);
    std::uint8_t header[14] = {'B', 'M'};
    writeLe32(header + 2, std::uint32_t(14 + size));
    writeLe32(header + 10, std::uint32_t(14 + DibHeaderSize + 4 * colours));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(reinterpret_cast<const char *>(header), 14) == 14 &&
           file.write(reinterpret_cast<const char *>(dib), qint64(size)) == qint64(size);
}

} // namespace

CapteonWidget::CapteonWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Capteon"));
    hide(); // the control has nothing to show; its windows open on demand
    m_settingsFile = QCoreApplication::applicationDirPath() + QStringLiteral("/Capteon.ini");
    loadSettings();
}

CapteonWidget::~CapteonWidget() = default;

SaneLease &CapteonWidget::lease()
{
    if (!m_lease)
        m_lease = std::make_unique<SaneLease>();
    return *m_lease;
}

QWidget *CapteonWidget::owner() const
{
    return m_parentWindow ? m_parentWindow.data() : window();
}

// ---- settings -------------------------------------------------------------

void CapteonWidget::setSettingsFile(const QString &path)
{
    m_settingsFile = path;
    loadSettings();
}

void CapteonWidget::loadSettings()
{
    QSettings s(m_settingsFile, QSettings::IniFormat);
    m_deviceName = s.value(QStringLiteral("Scanner")).toString();
    m_deviceTitle = s.value(QStringLiteral("ScannerTitle")).toString();
    m_showUI = s.value(QStringLiteral("ShowUI"), true).toBool();
    m_duplex = s.value(QStringLiteral("Duplex"), false).toBool();
    m_xDpi = s.value(QStringLiteral("XResolution"), 0).toInt();
    m_yDpi = s.value(QStringLiteral("YResolution"), 0).toInt();
    m_imagePath = s.value(QStringLiteral("ImagePath")).toString();
    m_paperSize = s.value(QStringLiteral("PaperSize")).toString();
    m_feeder = s.value(QStringLiteral("Feeder")).toString();
    auto optionalShort = [&s](const QString &key) -> std::optional<short> {
        if (!s.contains(key))
            return std::nullopt;
        return short(s.value(key).toInt());
    };
    m_brightness = optionalShort(QStringLiteral("Brightness"));
    m_contrast = optionalShort(QStringLiteral("Contrast"));
    m_threshold = optionalShort(QStringLiteral("Threshold"));
    m_deviceOptions.clear();
    s.beginGroup(QStringLiteral("Options"));
    for (const QString &key : s.childKeys()) {
        QMap<QString, QString> options;
        for (const QString &entry : s.value(key).toStringList()) {
            const qsizetype eq = entry.indexOf(QLatin1Char('='));
            if (eq > 0)
                options.insert(entry.left(eq), entry.mid(eq + 1));
        }
        m_deviceOptions.insert(QUrl::fromPercentEncoding(key.toLatin1()), options);
    }
    s.endGroup();
}

void CapteonWidget::saveSettings() const
{
    QSettings s(m_settingsFile, QSettings::IniFormat);
    s.setValue(QStringLiteral("Scanner"), m_deviceName);
    s.setValue(QStringLiteral("ScannerTitle"), m_deviceTitle);
    s.setValue(QStringLiteral("ShowUI"), m_showUI);
    s.setValue(QStringLiteral("Duplex"), m_duplex);
    s.setValue(QStringLiteral("XResolution"), m_xDpi);
    s.setValue(QStringLiteral("YResolution"), m_yDpi);
    s.setValue(QStringLiteral("ImagePath"), m_imagePath);
    s.setValue(QStringLiteral("PaperSize"), m_paperSize);
    s.setValue(QStringLiteral("Feeder"), m_feeder);
    auto putOptional = [&s](const QString &key, const std::optional<short> &v) {
        if (v)
            s.setValue(key, int(*v));
        else
            s.remove(key);
    };
    putOptional(QStringLiteral("Brightness"), m_brightness);
    putOptional(QStringLiteral("Contrast"), m_contrast);
    putOptional(QStringLiteral("Threshold"), m_threshold);
    for (auto it = m_deviceOptions.cbegin(); it != m_deviceOptions.cend(); ++it) {
        QStringList entries;
        for (auto o = it.value().cbegin(); o != it.value().cend(); ++o)
            entries << o.key() + QLatin1Char('=') + o.value();
        s.setValue(optionsKey(it.key()), entries);
    }
}

// ---- properties -----------------------------------------------------------

void CapteonWidget::setDuplex(bool duplex)
{
    m_duplex = duplex;
    saveSettings();
}

void CapteonWidget::setXResolution(int dpi)
{
    m_xDpi = std::max(0, dpi);
    saveSettings();
}

void CapteonWidget::setYResolution(int dpi)
{
    m_yDpi = std::max(0, dpi);
    saveSettings();
}

void CapteonWidget::setImagePath(const QString &path)
{
    m_imagePath = path;
    saveSettings();
}

void CapteonWidget::setPaperSize(const QString &name)
{
    m_paperSize = name.trimmed();
    saveSettings();
}

void CapteonWidget::setFeeder(const QString &source)
{
    m_feeder = source.trimmed();
    saveSettings();
}

void CapteonWidget::setBrightness(short value)
{
    m_brightness = value;
    saveSettings();
}

void CapteonWidget::setContrast(short value)
{
    m_contrast = value;
    saveSettings();
}

void CapteonWidget::setThreshold(short value)
{
    m_threshold = value;
    saveSettings();
}

void CapteonWidget::setShowUI(bool show)
{
    m_showUI = show;
    saveSettings();
}

QString CapteonWidget::Scanner() const
{
    return m_deviceTitle.isEmpty() ? m_deviceName : m_deviceTitle;
}

void CapteonWidget::setScanner(const QString &scanner)
{
    const QString wanted = scanner.trimmed();
    m_deviceName = wanted;
    m_deviceTitle.clear();
    // No device listing while a batch is being read on another thread.
    if (!wanted.isEmpty() && !m_scanning) {
        const auto restoreCursor = waitCursor();
        try {
            for (const DeviceInfo &d : lease().devices()) {
                if (d.name == wanted || d.displayName() == wanted) {
                    m_deviceName = d.name;
                    m_deviceTitle = d.displayName();
                    break;
                }
            }
        } catch (const ScanError &) {
            // The library is unavailable: keep the name as given.
        }
    }
    saveSettings();
}

void CapteonWidget::setDeviceOption(const QString &name, const QString &value)
{
    m_deviceOptions[m_deviceName].insert(name, value);
    saveSettings();
}

void CapteonWidget::onPageDone(QObject *context, std::function<void(HGLOBAL)> handler)
{
    m_pageHandlers.push_back({context ? context : this, std::move(handler)});
}

void CapteonWidget::onScanDone(QObject *context, std::function<void()> handler)
{
    m_doneHandlers.push_back({context ? context : this, std::move(handler)});
}

// ---- scanner choice -------------------------------------------------------

void CapteonWidget::SelectScanner()
{
    if (m_scanning)
        return;
    SaneLease &sane = [this]() -> SaneLease & {
        const auto restoreCursor = waitCursor();
        return lease();
    }();
    ScannerSelectDialog dialog([&sane] { return sane.devices(); }, m_deviceName);
    attachToOwner(&dialog, owner());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const DeviceInfo chosen = dialog.selected();
    if (chosen.name.isEmpty())
        return;
    m_deviceName = chosen.name;
    m_deviceTitle = chosen.displayName();
    saveSettings();
}

// ---- device set-up --------------------------------------------------------

void CapteonWidget::applyPaper(SaneDevice &device, const QString &paper) const
{
    const OptionList options = device.options();
    auto find = [&](const QString &name) -> const OptionDescriptor * {
        for (const OptionDescriptor &o : options)
            if (o.name == name && o.editable())
                return &o;
        return nullptr;
    };
    const OptionDescriptor *brx = find(QStringLiteral("br-x"));
    const OptionDescriptor *bry = find(QStringLiteral("br-y"));
    if (!brx || !bry)
        return;
    double width = 0;
    double height = 0;
    if (auto size = paperSizeByName(paper)) {
        width = size->width;
        height = size->height;
    } else if (paper.compare(QLatin1String("Max"), Qt::CaseInsensitive) == 0) {
        width = brx->maximum;
        height = bry->maximum;
    } else {
        return;
    }
    // Sheet-fed devices also want the paper's size for their feeder.
    if (find(QStringLiteral("page-width")))
        device.setValue(QStringLiteral("page-width"), QString::number(width, 'g', 10));
    if (find(QStringLiteral("page-height")))
        device.setValue(QStringLiteral("page-height"), QString::number(height, 'g', 10));
    device.setValue(QStringLiteral("tl-x"), QStringLiteral("0"));
    device.setValue(QStringLiteral("tl-y"), QStringLiteral("0"));
    device.setValue(QStringLiteral("br-x"), QString::number(std::min(width, brx->maximum), 'g', 10));
    device.setValue(QStringLiteral("br-y"), QString::number(std::min(height, bry->maximum), 'g', 10));
}

void CapteonWidget::configure(SaneDevice &device) const
{
    // What was used last time on this device, then what the properties ask for.
    const QMap<QString, QString> remembered = m_deviceOptions.value(device.name());
    for (const QString &name : kLeadingOptions)
        if (remembered.contains(name))
            device.setValue(name, remembered.value(name));
    for (auto it = remembered.cbegin(); it != remembered.cend(); ++it)
        if (!kLeadingOptions.contains(it.key()) && !kGeometry.contains(it.key()))
            device.setValue(it.key(), it.value());
    for (const QString &name : kGeometry)
        if (remembered.contains(name))
            device.setValue(name, remembered.value(name));

    // Source: the feeder asked for, turned into its duplex form when wanted.
    for (const OptionDescriptor &o : device.options()) {
        if (o.name != QLatin1String("source") || !o.editable() || o.strings.isEmpty())
            continue;
        QString chosen = o.value;
        if (!m_feeder.isEmpty()) {
            auto match = std::find_if(o.strings.cbegin(), o.strings.cend(), [this](const QString &s) {
                return s.compare(m_feeder, Qt::CaseInsensitive) == 0;
            });
            if (match == o.strings.cend())
                match = std::find_if(o.strings.cbegin(), o.strings.cend(), [this](const QString &s) {
                    return s.contains(m_feeder, Qt::CaseInsensitive);
                });
            // Devices name their sources differently: "ADF" asks for whatever feeder
            // the device has, any other word for its first source that is not one.
            if (match == o.strings.cend()) {
                const bool wantFeeder = isFeederSource(m_feeder);
                match = std::find_if(o.strings.cbegin(), o.strings.cend(), [wantFeeder](const QString &s) {
                    return isFeederSource(s) == wantFeeder &&
                           !s.contains(QLatin1String("duplex"), Qt::CaseInsensitive);
                });
            }
            if (match != o.strings.cend())
                chosen = *match;
        }
        if (m_duplex && !chosen.contains(QLatin1String("duplex"), Qt::CaseInsensitive)) {
            auto match = std::find_if(o.strings.cbegin(), o.strings.cend(), [](const QString &s) {
                return s.contains(QLatin1String("duplex"), Qt::CaseInsensitive);
            });
            if (match != o.strings.cend())
                chosen = *match;
        }
        if (chosen != o.value)
            device.setValue(o.name, chosen);
    }
    if (device.hasActiveOption(QStringLiteral("duplex")) &&
        (m_duplex || m_deviceOptions.contains(device.name())))
        device.setValue(QStringLiteral("duplex"),
                        m_duplex ? QStringLiteral("true") : QStringLiteral("false"));

    if (m_xDpi > 0) {
        const int y = m_yDpi > 0 ? m_yDpi : m_xDpi;
        if (device.hasActiveOption(QStringLiteral("x-resolution")) &&
            device.hasActiveOption(QStringLiteral("y-resolution")) && y != m_xDpi) {
            device.setValue(QStringLiteral("x-resolution"), QString::number(m_xDpi));
            device.setValue(QStringLiteral("y-resolution"), QString::number(y));
        } else {
            device.setValue(QStringLiteral("resolution"), QString::number(m_xDpi));
        }
    }
    if (!m_paperSize.isEmpty())
        applyPaper(device, m_paperSize);
    if (m_brightness)
        device.setValue(QStringLiteral("brightness"), QString::number(*m_brightness));
    if (m_contrast)
        device.setValue(QStringLiteral("contrast"), QString::number(*m_contrast));
    if (m_threshold)
        device.setValue(QStringLiteral("threshold"), QString::number(*m_threshold));
}

void CapteonWidget::takeOverDeviceState(const SaneDevice &device)
{
    // What the device really set (it may have rounded) is what the control reports
    // and what the next scan starts from.
    QMap<QString, QString> remembered;
    double tlx = -1, tly = -1, brx = 0, bry = 0;
    for (const OptionDescriptor &o : device.options()) {
        if (!o.editable() || o.name.isEmpty() || !o.readable)
            continue;
        remembered.insert(o.name, o.value);
        if (o.name == QLatin1String("tl-x"))
            tlx = o.value.toDouble();
        else if (o.name == QLatin1String("tl-y"))
            tly = o.value.toDouble();
        else if (o.name == QLatin1String("br-x"))
            brx = o.value.toDouble();
        else if (o.name == QLatin1String("br-y"))
            bry = o.value.toDouble();
    }
    m_deviceOptions.insert(device.name(), remembered);

    auto dpi = [&](const QString &name) { return int(std::lround(device.value(name).toDouble())); };
    int x = dpi(QStringLiteral("x-resolution"));
    int y = dpi(QStringLiteral("y-resolution"));
    const int both = dpi(QStringLiteral("resolution"));
    if (x <= 0)
        x = both;
    if (y <= 0)
        y = both;
    if (x > 0)
        m_xDpi = x;
    if (y > 0)
        m_yDpi = y;
    else if (x > 0)
        m_yDpi = x;
    if (remembered.contains(QStringLiteral("source")))
        m_feeder = remembered.value(QStringLiteral("source"));
    if (tlx == 0 && tly == 0)
        m_paperSize = paperSizeName(brx, bry);
    else if (tlx >= 0)
        m_paperSize.clear();
    if (remembered.contains(QStringLiteral("duplex")))
        m_duplex = remembered.value(QStringLiteral("duplex")) == QLatin1String("true");
    else if (remembered.contains(QStringLiteral("source")))
        m_duplex = m_feeder.contains(QLatin1String("duplex"), Qt::CaseInsensitive);
}

// ---- scanning -------------------------------------------------------------

void CapteonWidget::Scan()
{
    if (m_scanning)
        return; // a page handler that lets events run must not start a second batch
    struct Busy {
        bool &flag;
        explicit Busy(bool &f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(m_scanning);
    m_pageCount = 0;

    std::unique_ptr<SaneDevice> device;
    {
        const auto restoreCursor = waitCursor();
        if (m_deviceName.isEmpty()) {
            const std::vector<DeviceInfo> devices = lease().devices();
            if (devices.empty())
                throw ScanError("找不到扫描仪，请检查它是否已连接并开机。");
            m_deviceName = devices.front().name;
            m_deviceTitle = devices.front().displayName();
        }
        device = std::make_unique<SaneDevice>(m_deviceName);
        configure(*device);
    }

    if (m_showUI) {
        SaneDevice &d = *device;
        ScanOptionsDialog dialog(Scanner(), d.options(), [&d](const QString &name, const QString &value) {
            bool button = false;
            for (const OptionDescriptor &o : d.options())
                if (o.name == name)
                    button = o.type == OptionDescriptor::Type::Button;
            if (button)
                d.press(name);
            else
                d.setValue(name, value);
            return d.options();
        });
        attachToOwner(&dialog, owner());
        if (dialog.exec() != QDialog::Accepted)
            return; // the operator changed their mind: no pages, no error
    }
    takeOverDeviceState(*device);
    saveSettings();
    const bool feeder = isFeederSource(device->value(QStringLiteral("source")));
    runBatch(std::move(device), feeder);
}

void CapteonWidget::runBatch(std::unique_ptr<SaneDevice> device, bool feeder)
{
    m_stopped = false;
    m_cancelRequested = false;
    m_deliveryError = nullptr;
    m_unfiled = 0;
    m_firstUnfiled = 0;
    m_pending.clear();

    auto worker = std::make_unique<ScanWorker>(std::move(device), feeder, m_xDpi, m_yDpi, m_sheetHook);
    ScanProgressWindow progress(owner());
    connect(&progress, &ScanProgressWindow::cancelRequested, this, [this, &progress] {
        m_cancelRequested = true;
        progress.setCancelling();
        // Only the reading stops: the pages already read still go to the host.
        if (m_worker)
            m_worker->requestCancel();
    });
    connect(worker.get(), &ScanWorker::pageReady, this, &CapteonWidget::onPageReady, Qt::QueuedConnection);
    connect(worker.get(), &ScanWorker::progress, &progress, &ScanProgressWindow::setSheet,
            Qt::QueuedConnection);
    QEventLoop loop;
    connect(worker.get(), &ScanWorker::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    m_worker = worker.get();
    m_progress = &progress;
    progress.show();
    std::unique_ptr<QThread> thread(QThread::create([w = worker.get()] { w->run(); }));
    thread->start();
    loop.exec();
    thread->wait();
    // Pages that arrived while the last handler was still running.
    onPageReady(0);
    m_worker = nullptr;
    m_progress = nullptr;
    progress.hide();

    const QString error = worker->errorText();
    worker.reset(); // closes the device

    for (const auto &h : m_doneHandlers)
        if (h.context)
            h.function();
    emit ScanDone();

    if (m_deliveryError)
        rethrowDeliveryError();
    if (!error.isEmpty() && !m_cancelRequested)
        throw ScanError(error.toStdString());
}

void CapteonWidget::rethrowDeliveryError()
{
    // The handler's text, and which sheets left the feeder without being filed, so
    // the operator can put them in again.
    const QString unfiled = QStringLiteral("从本批第 %1 张起已读入但未归档的页面：%2 张，请重新放入扫描仪。")
                                .arg(m_firstUnfiled)
                                .arg(m_unfiled);
    try {
        std::rethrow_exception(std::exchange(m_deliveryError, nullptr));
    } catch (const std::exception &e) {
        throw ScanError((QString::fromUtf8(e.what()) + QLatin1Char('\n') + unfiled).toStdString());
    } catch (...) {
        throw ScanError(unfiled.toStdString());
    }
}

void CapteonWidget::stopDelivery()
{
    m_stopped = true;
    if (m_worker)
        m_worker->requestCancel();
}

void CapteonWidget::onPageReady(quintptr page)
{
    if (page)
        m_pending.emplace_back(reinterpret_cast<HGLOBAL>(page));
    // A handler that lets events run gets the next page after it returns, not inside.
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_pending.empty()) {
        GlobalBlock next = std::move(m_pending.front());
        m_pending.pop_front();
        if (m_stopped)
            ++m_unfiled;
        else
            deliver(next);
        next.reset();
        if (m_worker)
            m_worker->pageConsumed();
    }
    m_delivering = false;
}

void CapteonWidget::deliver(const GlobalBlock &page)
{
    {
        GlobalLockGuard lock(page.get());
        if (!lock)
            return;
        m_imageWidth = std::int32_t(readLe32(lock.data() + dib::Width));
        m_imageHeight = std::int32_t(readLe32(lock.data() + dib::Height));
    }
    ++m_pageCount;
    if (m_progress)
        m_progress->setPagesDelivered(m_pageCount);
    try {
        if (!m_imagePath.isEmpty()) {
            const QString path =
                QDir(m_imagePath)
                    .filePath(QStringLiteral("page%1.bmp").arg(m_pageCount, 4, 10, QLatin1Char('0')));
            if (!writeBmp(path, page))
                throw ScanError(QStringLiteral("无法写入图像文件“%1”。").arg(path).toStdString());
        }
        for (std::size_t i = 0; i < m_pageHandlers.size(); ++i) {
            // Copied: a handler may register further handlers.
            auto handler = m_pageHandlers[i];
            if (handler.context)
                handler.function(page.get());
        }
        emit PageDone(reinterpret_cast<quintptr>(page.get()));
    } catch (...) {
        m_deliveryError = std::current_exception();
        m_firstUnfiled = m_pageCount;
        m_unfiled = 1; // this page may not have reached the catalogue either
        stopDelivery();
    }
}

} // namespace arkavo::capteon
