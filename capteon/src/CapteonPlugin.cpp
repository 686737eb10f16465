#include "CapteonPlugin.h"
#include "CapteonWidget.h"

namespace arkavo::capteon {

CapteonControl *CapteonPlugin::createControl(QWidget *parent)
{
    return new CapteonWidget(parent);
}

} // namespace arkavo::capteon
