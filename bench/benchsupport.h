#pragma once
// Pictures shared by the benchmarks.

#include "imaging/bitmap24.h"

namespace clipora::bench {
// A 4000 by 3000 photo-like picture (smooth gradients with noise), made once.
const Bitmap24& photo4000x3000();
}  // namespace clipora::bench
