#include "metafiletext.h"

#include <QFontDatabase>
#include <QStringDecoder>

#include <array>

namespace clipora::metafile {

namespace {

const char* codecName(int charset)
{
    switch (charset) {
    case ansiCharset: return "windows-1252";
    case defaultCharset:
    case oemCharset:
    case shiftJisCharset: return "windows-31j";
    case macCharset: return "macintosh";
    case hangulCharset:
    case johabCharset: return "windows-949";
    case gb2312Charset: return "GBK";
    case big5Charset: return "Big5";
    case 161: return "windows-1253";
    case 162: return "windows-1254";
    case 163: return "windows-1258";
    case 177: return "windows-1255";
    case 178: return "windows-1256";
    case 186: return "windows-1257";
    case 204: return "windows-1251";
    case 222: return "windows-874";
    case 238: return "windows-1250";
    default: return nullptr;
    }
}

bool isLeadByte(int charset, std::uint8_t b)
{
    switch (charset) {
    case defaultCharset:
    case oemCharset:
    case shiftJisCharset: return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
    case hangulCharset:
    case johabCharset:
    case gb2312Charset:
    case big5Charset: return b >= 0x81 && b <= 0xfe;
    default: return false;
    }
}

}  // namespace

DecodedText decodeCharset(int charset, const std::uint8_t* bytes, std::size_t count)
{
    DecodedText out;
    const char* name = codecName(charset);
    QStringDecoder decoder;
    if (name)
        decoder = QStringDecoder(name);
    if (!name || !decoder.isValid()) {
        out.text.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = 0; i < count; ++i) {
            out.text.append(QChar(bytes[i]));
            out.firstByte.push_back(static_cast<int>(i));
        }
        return out;
    }
    std::size_t i = 0;
    while (i < count) {
        const std::size_t length = (isLeadByte(charset, bytes[i]) && i + 1 < count) ? 2 : 1;
        decoder.resetState();
        QString piece = decoder.decode(QByteArrayView(reinterpret_cast<const char*>(bytes + i),
                                                      static_cast<qsizetype>(length)));
        if (piece.isEmpty() || decoder.hasError())
            piece = QString(QChar(QChar::ReplacementCharacter));
        for (QChar c : piece) {
            out.text.append(c);
            out.firstByte.push_back(static_cast<int>(i));
        }
        i += length;
    }
    return out;
}

bool isEastAsianCharset(int charset)
{
    return charset == shiftJisCharset || charset == hangulCharset || charset == johabCharset ||
           charset == gb2312Charset || charset == big5Charset;
}

std::vector<double> advancesPerUnit(const DecodedText& decoded, const std::vector<double>& perByte)
{
    const std::vector<int>& firstByte = decoded.firstByte;
    const std::size_t units = firstByte.size();
    std::vector<double> advances(units, 0);
    for (std::size_t u = 0; u < units; ++u) {
        if (u > 0 && firstByte[u - 1] == firstByte[u])
            continue;  // a later unit of the same character
        std::size_t end = perByte.size();
        for (std::size_t next = u + 1; next < units; ++next) {
            if (firstByte[next] != firstByte[u]) {
                end = static_cast<std::size_t>(firstByte[next]);
                break;
            }
        }
        for (std::size_t b = static_cast<std::size_t>(firstByte[u]); b < end && b < perByte.size(); ++b)
            advances[u] += perByte[b];
    }
    return advances;
}

QStringList fontFamiliesFor(const QString& face, int charset, int pitchAndFamily)
{
    struct Known {
        const char16_t* name;
        const char* family;
    };
    // Windows' Japanese faces, by their Japanese and their Latin names.
    static const std::array<Known, 24> known{{
        {u"ＭＳ ゴシック", "IPAGothic"},      {u"MS Gothic", "IPAGothic"},
        {u"ＭＳ Ｐゴシック", "IPAPGothic"},   {u"MS PGothic", "IPAPGothic"},
        {u"MS UI Gothic", "IPAPGothic"},      {u"ＭＳ 明朝", "IPAMincho"},
        {u"MS Mincho", "IPAMincho"},          {u"ＭＳ Ｐ明朝", "IPAPMincho"},
        {u"MS PMincho", "IPAPMincho"},        {u"メイリオ", "IPAPGothic"},
        {u"Meiryo", "IPAPGothic"},            {u"Meiryo UI", "IPAPGothic"},
        {u"游ゴシック", "IPAPGothic"},         {u"Yu Gothic", "IPAPGothic"},
        {u"Yu Gothic UI", "IPAPGothic"},      {u"游明朝", "IPAPMincho"},
        {u"Yu Mincho", "IPAPMincho"},         {u"ＭＳ Ｐゴシック体", "IPAPGothic"},
        {u"HGｺﾞｼｯｸM", "IPAGothic"},          {u"HGPｺﾞｼｯｸM", "IPAPGothic"},
        {u"HG丸ｺﾞｼｯｸM-PRO", "IPAPGothic"},   {u"HG明朝B", "IPAMincho"},
        {u"HGP明朝B", "IPAPMincho"},          {u"BIZ UDPゴシック", "IPAPGothic"},
    }};
    QStringList families;
    const QString trimmed = face.trimmed();
    const bool fixed = (pitchAndFamily & 3) == 1 || (pitchAndFamily & 0xf0) == 0x30;
    const QString japanese = QLatin1String(fixed ? "IPAGothic" : "IPAPGothic");
    for (const Known& k : known) {
        if (trimmed.compare(QString::fromUtf16(k.name), Qt::CaseInsensitive) == 0) {
            families << QString::fromLatin1(k.family);
            // The Mincho faces may be missing: a Gothic face of the same pitch then.
            if (families.back().contains(QLatin1String("Mincho")))
                families << QString(families.back()).replace(QLatin1String("Mincho"), QLatin1String("Gothic"));
            break;
        }
    }
    if (families.isEmpty() && !trimmed.isEmpty() && QFontDatabase::hasFamily(trimmed))
        families << trimmed;
    if (families.isEmpty()) {
        // A face this system lacks: one of its kind. Japanese fonts stand
        // for Japanese faces, DejaVu for Western ones.
        const QString lower = trimmed.toLower();
        const bool serif = (pitchAndFamily & 0xf0) == 0x10 || lower.contains(QLatin1String("times")) ||
                           (lower.contains(QLatin1String("serif")) && !lower.contains(QLatin1String("sans"))) ||
                           lower.contains(QLatin1String("century")) || lower.contains(QLatin1String("georgia")) ||
                           lower.contains(QLatin1String("mincho")) || trimmed.contains(QStringLiteral("明朝"));
        const bool mono = fixed || lower.contains(QLatin1String("courier")) || lower.contains(QLatin1String("consolas")) ||
                          lower.contains(QLatin1String("console"));
        if (charset == shiftJisCharset)
            families << japanese;
        else if (mono)
            families << QStringLiteral("DejaVu Sans Mono");
        else if (serif)
            families << QStringLiteral("DejaVu Serif");
        else
            families << QStringLiteral("DejaVu Sans");
    }
    if (!families.contains(japanese))
        families << japanese;
    return families;
}

}  // namespace clipora::metafile
