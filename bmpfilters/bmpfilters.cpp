#include "bmpfilters.h"
