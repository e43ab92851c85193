#pragma once
// Errors of the imaging layer. Their text is the message the user sees
// (UTF-8); the window shows it, the imaging code never does.

#include <stdexcept>
#include <string>

namespace clipora {

class ImagingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces the first "%s" or "%d" of a message pattern by `value`.
std::string formatMessage(const std::string& pattern, const std::string& value);
std::string formatMessage(const std::string& pattern, long long value);

namespace messages {
inline constexpr const char* cannotOpen = "ファイル %s は開けません";
inline constexpr const char* cannotCreate = "ファイル %s を作成できません";
inline constexpr const char* writeError = "ストリームへの書き込みエラー";
inline constexpr const char* jpegError = "JPEG エラー #%d";
inline constexpr const char* gifError = "GIF エラー #%d";
inline constexpr const char* pngError = "PNG イメージが不正です (%s)";
inline constexpr const char* webpError = "WebP イメージが不正です (%s)";
inline constexpr const char* avifError = "AVIF イメージが不正です (%s)";
inline constexpr const char* heifError = "HEIF イメージが不正です (%s)";
inline constexpr const char* tiffError = "TIFF イメージが不正です (%s)";
inline constexpr const char* invalidBitmap = "ビットマップイメージが不正です";
inline constexpr const char* invalidIcon = "アイコン イメージが不正です";
inline constexpr const char* unsupportedExtension = "拡張子 .%s の画像形式は処理できません";
inline constexpr const char* pictureTooLarge = "画像が大きすぎます (%s)";
}  // namespace messages

}  // namespace clipora
