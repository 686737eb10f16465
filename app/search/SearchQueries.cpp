#include "SearchQueries.h"
