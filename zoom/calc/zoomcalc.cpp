#include "zoomcalc.h"
