#pragma once
// A device option as the control shows and remembers it: a plain copy of what the
// scanner describes, with the current value as text.
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace arkavo::capteon {

struct OptionDescriptor {
    enum class Type { Bool, Int, Fixed, String, Button, Group };
    enum class Constraint { None, Range, WordList, StringList };

    int index = 0;
    QString name;
    QString title;
    QString description;
    QString group; // title of the group the option belongs to
    Type type = Type::Int;
    QString unit; // "mm", "dpi", "%", "µs", "bit", "px" or empty
    Constraint constraint = Constraint::None;
    double minimum = 0;
    double maximum = 0;
    double quant = 0;
    QList<double> words;
    QStringList strings;
    int count = 1; // number of values; arrays are not offered in the dialog
    bool active = true;
    bool settable = true;
    bool readable = true;
    bool advanced = false;
    QString value;

    bool isScalar() const { return count == 1 && type != Type::Group && type != Type::Button; }
    bool editable() const { return active && settable && isScalar(); }
};

using OptionList = std::vector<OptionDescriptor>;

} // namespace arkavo::capteon
