// The vector implementations (AVX-512), chosen at run time.

#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

void zoomupAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomupPlan& plan)
{
    zoomupPortable(source, target, transparency, progress, plan);
}

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
