#include "loadrules.h"

namespace clipora {

namespace {
// Index of the extension's dot in `path`, or -1: the last dot after the last
// folder separator.
qsizetype extensionDot(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? dot : -1;
}
}  // namespace

int saveFilterIndexFor(const QString& path)
{
    const QString extension = extensionWithDot(path);
    if (extension == QLatin1String(".bmp") || extension == QLatin1String(".BMP"))
        return 1;
    if (extension == QLatin1String(".gif") || extension == QLatin1String(".GIF"))
        return 3;
    if (extension == QLatin1String(".png") || extension == QLatin1String(".PNG"))
        return 4;
    return 2;
}

QString extensionWithDot(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot);
}

QString withoutExtension(const QString& path)
{
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? path : path.left(dot);
}

int halfToEven(int n)
{
    const int half = n / 2;  // toward zero
    if (n % 2 == 0)
        return half;
    // n is odd: n / 2 lies halfway between half and the next integer away from zero.
    const int other = n > 0 ? half + 1 : half - 1;
    return half % 2 == 0 ? half : other;
}

}  // namespace clipora
