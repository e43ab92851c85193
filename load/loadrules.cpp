#include "loadrules.h"

#include <string>
#include <utility>

#include "imaging/paths.h"

namespace clipora {

namespace {
// The path in UTF-8 and its extension's dot (npos when it has none).
struct DottedPath {
    std::string path;
    std::size_t dot;
};

DottedPath dotted(const QString& path)
{
    std::string utf8 = path.toStdString();
    const std::size_t dot = extensionDot(utf8);
    return {std::move(utf8), dot};
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
    const DottedPath p = dotted(path);
    return p.dot == std::string::npos ? QString() : QString::fromStdString(p.path.substr(p.dot));
}

QString withoutExtension(const QString& path)
{
    const DottedPath p = dotted(path);
    return p.dot == std::string::npos ? path : QString::fromStdString(p.path.substr(0, p.dot));
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
