// The vector implementations (AVX-512) not yet written: the portable ones.

#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {


void rotateAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const RotatePlan& plan)
{
    rotatePortable(source, target, transparency, progress, plan);
}

}  // namespace clipora::zoom::detail
