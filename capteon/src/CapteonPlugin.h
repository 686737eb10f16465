#pragma once
// The plugin's root object: creates scanner controls for the host.
#include "capteon/CapteonInterface.h"

#include <QObject>

namespace arkavo::capteon {

class CapteonPlugin : public QObject, public CapteonFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CapteonFactory_iid FILE "capteon.json")
    Q_INTERFACES(CapteonFactory)
public:
    CapteonControl *createControl(QWidget *parent) override;
};

} // namespace arkavo::capteon
