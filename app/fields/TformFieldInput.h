#pragma once
// The index values of the shown file, on the scan panel's "索引" tab.
#include <QWidget>
