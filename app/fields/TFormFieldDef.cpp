#include "TFormFieldDef.h"
