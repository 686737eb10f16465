#include "SaneDevice.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace arkavo::capteon {

namespace {

std::mutex g_saneMutex;
int g_saneUsers = 0;

QString unitText(SANE_Unit unit)
{
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return QStringLiteral("px");
    case SANE_UNIT_BIT:
        return QStringLiteral("bit");
    case SANE_UNIT_MM:
        return QStringLiteral("mm");
    case SANE_UNIT_DPI:
        return QStringLiteral("dpi");
    case SANE_UNIT_PERCENT:
        return QStringLiteral("%");
    case SANE_UNIT_MICROSECOND:
        return QStringLiteral("µs");
    default:
        return {};
    }
}

QString fixedText(SANE_Word w)
{
    return QString::number(SANE_UNFIX(w), 'g', 10);
}

ReadStatus classify(SANE_Status s)
{
    switch (s) {
    case SANE_STATUS_GOOD:
        return ReadStatus::Good;
    case SANE_STATUS_EOF:
        return ReadStatus::EndOfFrame;
    case SANE_STATUS_NO_DOCS:
        return ReadStatus::NoDocuments;
    case SANE_STATUS_CANCELLED:
        return ReadStatus::Cancelled;
    default:
        return ReadStatus::Failed;
    }
}

} // namespace

QString DeviceInfo::displayName() const
{
    QString text = (vendor + QLatin1Char(' ') + model).trimmed();
    if (text.isEmpty())
        return name;
    return text + QStringLiteral(" (") + name + QLatin1Char(')');
}

SaneLease::SaneLease()
{
    std::lock_guard lock(g_saneMutex);
    if (g_saneUsers == 0) {
        SANE_Int version = 0;
        SANE_Status s = sane_init(&version, nullptr);
        if (s != SANE_STATUS_GOOD)
            throw ScanError(
                QStringLiteral("无法启动扫描仪程序库：%1").arg(SaneDevice::statusText(s)).toStdString());
    }
    ++g_saneUsers;
}

SaneLease::~SaneLease()
{
    std::lock_guard lock(g_saneMutex);
    if (--g_saneUsers == 0)
        sane_exit();
}

std::vector<DeviceInfo> SaneLease::devices() const
{
    std::lock_guard lock(g_saneMutex);
    std::vector<DeviceInfo> result;
    const SANE_Device **list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
        return result;
    for (int i = 0; list[i]; ++i) {
        const SANE_Device *d = list[i];
        result.push_back(
            {QString::fromUtf8(d->name ? d->name : ""), QString::fromUtf8(d->vendor ? d->vendor : ""),
             QString::fromUtf8(d->model ? d->model : ""), QString::fromUtf8(d->type ? d->type : "")});
    }
    return result;
}

QString SaneDevice::statusText(int status)
{
    switch (status) {
    case SANE_STATUS_UNSUPPORTED:
        return QStringLiteral("扫描仪不支持这项操作。");
    case SANE_STATUS_CANCELLED:
        return QStringLiteral("扫描已取消。");
    case SANE_STATUS_DEVICE_BUSY:
        return QStringLiteral("扫描仪正忙，可能正被其他程序使用。");
    case SANE_STATUS_INVAL:
        return QStringLiteral("扫描仪不接受当前的设置。");
    case SANE_STATUS_EOF:
        return QStringLiteral("扫描仪没有送来数据。");
    case SANE_STATUS_JAMMED:
        return QStringLiteral("扫描仪卡纸。");
    case SANE_STATUS_NO_DOCS:
        return QStringLiteral("进纸器中没有纸。");
    case SANE_STATUS_COVER_OPEN:
        return QStringLiteral("扫描仪盖板打开了。");
    case SANE_STATUS_IO_ERROR:
        return QStringLiteral("与扫描仪通信出错，设备可能已断开。");
    case SANE_STATUS_NO_MEM:
        return QStringLiteral("内存不足。");
    case SANE_STATUS_ACCESS_DENIED:
        return QStringLiteral("没有访问扫描仪的权限。");
    default:
        return QStringLiteral("扫描仪报告了未知错误（%1）。").arg(status);
    }
}

SaneDevice::SaneDevice(const QString &name) : m_name(name)
{
    SANE_Handle h = nullptr;
    SANE_Status s = sane_open(name.toUtf8().constData(), &h);
    if (s != SANE_STATUS_GOOD || !h) {
        if (s == SANE_STATUS_INVAL || s == SANE_STATUS_IO_ERROR || s == SANE_STATUS_GOOD)
            throw ScanError(
                QStringLiteral("找不到扫描仪“%1”，请检查它是否已连接并开机。").arg(name).toStdString());
        throw ScanError(QStringLiteral("无法打开扫描仪“%1”：%2").arg(name, statusText(s)).toStdString());
    }
    m_handle = h;
}

SaneDevice::~SaneDevice()
{
    if (m_handle) {
        sane_cancel(m_handle);
        sane_close(m_handle);
    }
}

int SaneDevice::findOption(const QString &name) const
{
    const QByteArray key = name.toUtf8();
    SANE_Int count = 0;
    if (sane_control_option(m_handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
        if (d && d->name && key == d->name)
            return i;
    }
    return -1;
}

OptionList SaneDevice::options() const
{
    OptionList result;
    SANE_Int count = 0;
    if (sane_control_option(m_handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return result;
    QString group;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
        if (!d)
            continue;
        OptionDescriptor o;
        o.index = i;
        o.name = QString::fromUtf8(d->name ? d->name : "");
        o.title = QString::fromUtf8(d->title ? d->title : "");
        o.description = QString::fromUtf8(d->desc ? d->desc : "");
        o.unit = unitText(d->unit);
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        o.readable = (d->cap & SANE_CAP_SOFT_DETECT) != 0;
        o.advanced = (d->cap & SANE_CAP_ADVANCED) != 0;
        switch (d->type) {
        case SANE_TYPE_BOOL:
            o.type = OptionDescriptor::Type::Bool;
            break;
        case SANE_TYPE_INT:
            o.type = OptionDescriptor::Type::Int;
            break;
        case SANE_TYPE_FIXED:
            o.type = OptionDescriptor::Type::Fixed;
            break;
        case SANE_TYPE_STRING:
            o.type = OptionDescriptor::Type::String;
            break;
        case SANE_TYPE_BUTTON:
            o.type = OptionDescriptor::Type::Button;
            break;
        default:
            o.type = OptionDescriptor::Type::Group;
            group = o.title;
            break;
        }
        o.group = group;
        if (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED || d->type == SANE_TYPE_BOOL)
            o.count = std::max<int>(1, d->size / int(sizeof(SANE_Word)));
        const bool fixed = d->type == SANE_TYPE_FIXED;
        auto number = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            o.constraint = OptionDescriptor::Constraint::Range;
            o.minimum = number(d->constraint.range->min);
            o.maximum = number(d->constraint.range->max);
            o.quant = number(d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            o.constraint = OptionDescriptor::Constraint::WordList;
            for (int k = 1; k <= d->constraint.word_list[0]; ++k)
                o.words.append(number(d->constraint.word_list[k]));
        } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
            o.constraint = OptionDescriptor::Constraint::StringList;
            for (int k = 0; d->constraint.string_list[k]; ++k)
                o.strings.append(QString::fromUtf8(d->constraint.string_list[k]));
        }
        if (o.isScalar() && o.active && o.readable)
            o.value = value(o.name);
        result.push_back(std::move(o));
    }
    return result;
}

bool SaneDevice::hasActiveOption(const QString &name) const
{
    int i = findOption(name);
    if (i < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
    return d && SANE_OPTION_IS_ACTIVE(d->cap);
}

QString SaneDevice::value(const QString &name) const
{
    int i = findOption(name);
    if (i < 0)
        return {};
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || !(d->cap & SANE_CAP_SOFT_DETECT) || d->size <= 0)
        return {};
    QByteArray buffer(d->size + 1, '\0');
    if (sane_control_option(m_handle, i, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD)
        return {};
    SANE_Word w = 0;
    std::memcpy(&w, buffer.constData(), sizeof w);
    switch (d->type) {
    case SANE_TYPE_BOOL:
        return w ? QStringLiteral("true") : QStringLiteral("false");
    case SANE_TYPE_INT:
        return QString::number(w);
    case SANE_TYPE_FIXED:
        return fixedText(w);
    case SANE_TYPE_STRING:
        return QString::fromUtf8(buffer.constData());
    default:
        return {};
    }
}

bool SaneDevice::setValue(const QString &name, const QString &text)
{
    int i = findOption(name);
    if (i < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(m_handle, i);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return false;
    SANE_Int info = 0;
    SANE_Status s = SANE_STATUS_INVAL;
    if (d->type == SANE_TYPE_STRING) {
        QByteArray bytes = text.toUtf8();
        if (bytes.size() >= d->size)
            return false;
        bytes.resize(d->size, '\0');
        s = sane_control_option(m_handle, i, SANE_ACTION_SET_VALUE, bytes.data(), &info);
    } else if (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) {
        if (d->size != int(sizeof(SANE_Word)))
            return false; // arrays are left alone
        bool ok = false;
        SANE_Word w = 0;
        if (d->type == SANE_TYPE_BOOL) {
            const QString t = text.trimmed().toLower();
            ok = t == QLatin1String("true") || t == QLatin1String("false") || t == QLatin1String("1") ||
                 t == QLatin1String("0");
            w = (t == QLatin1String("true") || t == QLatin1String("1")) ? SANE_TRUE : SANE_FALSE;
        } else {
            const double v = text.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(v) ||
                std::fabs(v) > 32767.0 * (d->type == SANE_TYPE_INT ? 65536.0 : 1.0))
                return false;
            w = d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(std::lround(v));
        }
        if (!ok)
            return false;
        s = sane_control_option(m_handle, i, SANE_ACTION_SET_VALUE, &w, &info);
    } else {
        return false;
    }
    // An inexact set leaves the device's own value in place; callers read it back.
    return s == SANE_STATUS_GOOD;
}

bool SaneDevice::press(const QString &name)
{
    int i = findOption(name);
    if (i < 0)
        return false;
    return sane_control_option(m_handle, i, SANE_ACTION_SET_VALUE, nullptr, nullptr) == SANE_STATUS_GOOD;
}

ReadStatus SaneDevice::start(QString *error)
{
    SANE_Status s = sane_start(m_handle);
    if (s != SANE_STATUS_GOOD && error)
        *error = statusText(s);
    return classify(s);
}

FrameParameters SaneDevice::parameters() const
{
    SANE_Parameters p{};
    FrameParameters f;
    if (sane_get_parameters(m_handle, &p) != SANE_STATUS_GOOD) {
        f.bytesPerLine = 0; // rejected by the assembler
        return f;
    }
    switch (p.format) {
    case SANE_FRAME_RGB:
        f.format = FrameFormat::Rgb;
        break;
    case SANE_FRAME_RED:
        f.format = FrameFormat::Red;
        break;
    case SANE_FRAME_GREEN:
        f.format = FrameFormat::Green;
        break;
    case SANE_FRAME_BLUE:
        f.format = FrameFormat::Blue;
        break;
    default:
        f.format = FrameFormat::Gray;
        break;
    }
    f.lastFrame = p.last_frame != SANE_FALSE;
    f.bytesPerLine = p.bytes_per_line;
    f.pixelsPerLine = p.pixels_per_line;
    f.lines = p.lines > 0 ? p.lines : -1;
    f.depth = p.depth;
    return f;
}

ReadStatus SaneDevice::read(std::uint8_t *buffer, int maxLength, int *length, QString *error)
{
    SANE_Int n = 0;
    SANE_Status s = sane_read(m_handle, buffer, maxLength, &n);
    *length = s == SANE_STATUS_GOOD ? n : 0;
    if (s != SANE_STATUS_GOOD && s != SANE_STATUS_EOF && error)
        *error = statusText(s);
    return classify(s);
}

void SaneDevice::cancel()
{
    sane_cancel(m_handle);
}

} // namespace arkavo::capteon
