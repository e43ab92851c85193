// The vector implementations (AVX-512) not yet written: the portable ones.

#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

void zoomdownAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const ZoomdownPlan& plan)
{
    zoomdownPortable(source, target, transparency, progress, plan);
}

void rotateAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const RotatePlan& plan)
{
    rotatePortable(source, target, transparency, progress, plan);
}

}  // namespace clipora::zoom::detail
