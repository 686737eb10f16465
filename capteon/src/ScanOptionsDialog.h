#pragma once
// The device's own options as a dialog: one group box per option group, an editor
// per option that honours its range or list, and a paper-size choice for the scan
// area. Every change goes to the device at once, so dependent options appear,
// vanish or change as the device decides.
#include "OptionDescriptor.h"

#include <QDialog>

#include <functional>

class QScrollArea;

namespace arkavo::capteon {

class ScanOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Applies one value (empty for a button) and returns the device's options afterwards.
    using Setter = std::function<OptionList(const QString &name, const QString &value)>;

    ScanOptionsDialog(const QString &deviceTitle, OptionList options, Setter setter,
                      QWidget *parent = nullptr);

    const OptionList &options() const { return m_options; }

private:
    void rebuild();
    void change(const QString &name, const QString &value);
    void changePaper(const QString &paper);
    QWidget *editorFor(const OptionDescriptor &option, QWidget *parent);
    const OptionDescriptor *find(const QString &name) const;

    OptionList m_options;
    Setter m_setter;
    QScrollArea *m_scroll = nullptr;
    bool m_rebuildQueued = false;
};

} // namespace arkavo::capteon
