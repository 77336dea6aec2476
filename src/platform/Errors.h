// The error classes of the system. Every failure is one of these, with its fixed
// message (UTF-8); the application's error report shows what() and nothing else.
#pragma once

#include <stdexcept>
#include <string>

namespace tavo {

// Base of every error the system raises on purpose.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Replaces the first "%s" (or "%d") of a message pattern.
inline std::string formatMessage(const std::string& pattern, const std::string& argument)
{
    std::string result = pattern;
    for (const char* token : {"%s", "%d"}) {
        const auto at = result.find(token);
        if (at != std::string::npos) {
            result.replace(at, 2, argument);
            return result;
        }
    }
    return result;
}

#define TAVO_FIXED_ERROR(Name, text)                                                   \
    class Name : public Exception {                                                    \
    public:                                                                            \
        static constexpr const char* pattern = text;                                   \
        Name() : Exception(text) {}                                                    \
        explicit Name(const std::string& message) : Exception(message) {}              \
    };

// A file stream that cannot be opened: "ﾌｧｲﾙ %s は開けません".
class EFOpenError : public Exception {
public:
    static constexpr const char* pattern = "ﾌｧｲﾙ %s は開けません";
    explicit EFOpenError(const std::string& path) : Exception(formatMessage(pattern, path)) {}
};

// Data that ends inside a structure a reader needs whole.
TAVO_FIXED_ERROR(EReadError, "ｽﾄﾘｰﾑからの読み込みｴﾗｰ")

// Picture data that a decoder does not accept. The message varies by decoder.
TAVO_FIXED_ERROR(EInvalidGraphic, "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です")

// A fatal libjpeg error: "JPEG ｴﾗｰ #%d" with libjpeg's message code.
class EJPEG : public Exception {
public:
    static constexpr const char* pattern = "JPEG ｴﾗｰ #%d";
    explicit EJPEG(int code) : Exception(formatMessage(pattern, std::to_string(code))), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Lack of memory for a picture, reported like any other error.
TAVO_FIXED_ERROR(EOutOfMemory, "メモリが不足しています")

inline constexpr const char* kInvalidBitmapMessage = "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です";
inline constexpr const char* kUnknownFormatMessage = "認識できない画像形式です";

} // namespace tavo
