#pragma once
// The plugin's root object: makes image-view controls for the host.
#include "ovisco/OviscoInterface.h"

#include <QObject>

class OviscoPlugin : public QObject, public OviscoFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OviscoFactory_iid FILE "ovisco.json")
    Q_INTERFACES(OviscoFactory)

public:
    OviscoControl *createControl(QWidget *parent) override;
};
