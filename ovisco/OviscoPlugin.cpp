#include "OviscoPlugin.h"

#include "COviscoCtrl.h"

OviscoControl *OviscoPlugin::createControl(QWidget *parent)
{
    return new COviscoCtrl(parent);
}
