#include "conversions.h"

#include <cstdint>

namespace clipora {

namespace {

std::string conversionMessage(const QString& text)
{
    return "'" + text.toStdString() + "' は整数ではありません";
}

}  // namespace

ConversionError::ConversionError(const QString& text)
    : std::runtime_error(conversionMessage(text)), text_(text)
{
}

std::optional<int> parseInteger(const QString& text)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text[i] == u' ')
        ++i;
    while (end > i && text[end - 1] == u' ')
        --end;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == end)
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > std::int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

int toIntLenient(const QString& text)
{
    return parseInteger(text).value_or(-1);
}

int toIntStrict(const QString& text)
{
    if (const auto value = parseInteger(text))
        return *value;
    throw ConversionError(text);
}

QString intText(int value)
{
    return QString::number(value);
}

}  // namespace clipora
