#pragma once
// Text of metafile records: byte strings in a font's character set (WMF
// and the ANSI records of EMF), and the fonts that stand in for the faces
// that metafiles name.

#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace clipora::metafile {

// Windows character sets of a font (its lfCharSet).
enum Charset {
    ansiCharset = 0,
    defaultCharset = 1,
    symbolCharset = 2,
    macCharset = 77,
    shiftJisCharset = 128,
    hangulCharset = 129,
    johabCharset = 130,
    gb2312Charset = 134,
    big5Charset = 136,
    oemCharset = 255,
};

// The East Asian character sets (Shift-JIS, Hangul, Johab, GB2312, Big5),
// whose text is mostly of full-width characters.
bool isEastAsianCharset(int charset);

struct DecodedText {
    QString text;
    // For each UTF-16 unit of `text`, the index of the first byte of the
    // character it came from.
    std::vector<int> firstByte;
};

// Decodes bytes of the given character set: Shift-JIS (code page 932) for
// 128, and, since our users' systems are Japanese, also for the default
// (1) and OEM (255) sets; the Windows code pages for the others; bytes as
// Latin-1 for symbol fonts and unknown sets. Double-byte characters are
// told apart by their lead bytes; a byte sequence that does not decode
// gives U+FFFD, never an error.
DecodedText decodeCharset(int charset, const std::uint8_t* bytes, std::size_t count);

// Advances stored one per byte (as the byte-string text records store them)
// as advances per UTF-16 unit of the decoded text: a character advances by
// the sum of its bytes' advances, the later units of a character by 0.
// `perByte` holds one advance for each byte that was decoded.
std::vector<double> advancesPerUnit(const DecodedText& decoded, const std::vector<double>& perByte);

// Font families to ask for in place of a face named in a metafile: the
// Japanese faces of Windows map to the IPA Gothic faces (proportional or
// fixed as the original), installed faces are kept, missing ones become
// a face of their kind (IPA Gothic for Japanese fonts, DejaVu Sans, Serif
// or Sans Mono for others), and a Japanese face always follows for the
// characters the first lacks. Needs a QGuiApplication.
QStringList fontFamiliesFor(const QString& face, int charset, int pitchAndFamily);

}  // namespace clipora::metafile
