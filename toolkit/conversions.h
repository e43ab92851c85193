#pragma once
// Reading the numbers that live as text in edit fields.
//
// "An integer" here is: optional ASCII spaces, an optional sign ('+' or '-'),
// one or more ASCII decimal digits, optional ASCII spaces, and nothing else;
// its value must lie within the 32-bit signed range (-2147483648 to
// 2147483647). Leading zeros are allowed ("007" is 7). Not accepted: an
// empty text, a sign alone, blanks between sign and digits, tabs, full-width
// digits, hexadecimal or other prefixes, thousands separators, decimals.

#include <stdexcept>
#include <optional>
#include <string>

#include <QString>

namespace clipora {

// The strict conversion's error; what() is the user's message in UTF-8:
// "'<text>' は整数ではありません" with the text as it stood.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text);
    const QString& text() const { return text_; }

private:
    QString text_;
};

// The integer the text holds, or nothing.
std::optional<int> parseInteger(const QString& text);
// Lenient: the integer, or -1 when the text holds none.
int toIntLenient(const QString& text);
// Strict: the integer; throws ConversionError when the text holds none.
int toIntStrict(const QString& text);
// A number as the fields show it: decimal, '-' for negatives, no separators.
QString intText(int value);

}  // namespace clipora
