#pragma once
// "定制索引字段": the index fields of one file type.
#include <QDialog>
