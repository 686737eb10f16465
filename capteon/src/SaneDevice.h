#pragma once
// The scanner library behind the control. Its headers stay inside this library:
// nothing here names a SANE type.
#include "FrameAssembler.h"
#include "OptionDescriptor.h"

#include <QString>

#include <stdexcept>
#include <vector>

namespace arkavo::capteon {

// A device fault; what() is the text the operator reads.
class ScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DeviceInfo {
    QString name;
    QString vendor;
    QString model;
    QString type;
    // "vendor model (name)", the way the device is shown to the operator.
    QString displayName() const;
};

// Keeps the scanner library initialised. Its start and end are process-wide, so
// every user holds a lease and the last lease to go shuts the library down.
class SaneLease {
public:
    SaneLease(); // throws ScanError when the library cannot start
    ~SaneLease();
    SaneLease(const SaneLease &) = delete;
    SaneLease &operator=(const SaneLease &) = delete;

    // Every device the library finds, local and on the network.
    std::vector<DeviceInfo> devices() const;
};

enum class ReadStatus { Good, EndOfFrame, NoDocuments, Cancelled, Failed };

// One opened device. Must be used by one thread at a time.
class SaneDevice {
public:
    // Opens the device; throws ScanError naming the problem (busy, not found, ...).
    explicit SaneDevice(const QString &name);
    ~SaneDevice();
    SaneDevice(const SaneDevice &) = delete;
    SaneDevice &operator=(const SaneDevice &) = delete;

    const QString &name() const { return m_name; }

    // All options with their current values, in the device's order.
    OptionList options() const;
    bool hasActiveOption(const QString &name) const;
    // Current value as text; empty when the option is missing, inactive or unreadable.
    QString value(const QString &name) const;
    // Sets an option from its text form. False when the device has no such settable
    // option or refuses the value; a value the device rounds is kept as rounded.
    bool setValue(const QString &name, const QString &value);
    // Presses a button option.
    bool press(const QString &name);

    // Acquisition: start a frame, read its parameters and bytes, end the batch.
    ReadStatus start(QString *error);
    FrameParameters parameters() const;
    ReadStatus read(std::uint8_t *buffer, int maxLength, int *length, QString *error);
    void cancel();

    // The operator's words for a status code of the library.
    static QString statusText(int status);

private:
    int findOption(const QString &name) const;

    SaneLease m_lease; // first in, last out: the handle needs the library running
    QString m_name;
    void *m_handle = nullptr;
};

} // namespace arkavo::capteon
