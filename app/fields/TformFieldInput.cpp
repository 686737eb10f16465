#include "TformFieldInput.h"
