#include "errors.h"

#include <string_view>

namespace clipora {

namespace {
std::string replaceFirstPlaceholder(const std::string& pattern, const std::string& value)
{
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] == '%' && (pattern[i + 1] == 's' || pattern[i + 1] == 'd'))
            return pattern.substr(0, i) + value + pattern.substr(i + 2);
    }
    return pattern;
}
}  // namespace

std::string formatMessage(const std::string& pattern, const std::string& value)
{
    return replaceFirstPlaceholder(pattern, value);
}

std::string formatMessage(const std::string& pattern, long long value)
{
    return replaceFirstPlaceholder(pattern, std::to_string(value));
}

}  // namespace clipora
