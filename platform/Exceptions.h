// The system's exception classes. Every failure is one of these, carrying the message text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace vorlane {

// The common base: an exception with a message text (system code page bytes).
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Streams and files.
class EStreamError : public Exception {
    using Exception::Exception;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
    using EStreamError::EStreamError;
};
// Another program of the user held the file's lock for longer than the wait allowed.
class EFileBusy : public EStreamError {
    using EStreamError::EStreamError;
};
// A path longer than the system's file calls take, refused where it comes in rather than cut.
class EPathTooLong : public EStreamError {
    using EStreamError::EStreamError;
};

// Pictures.
class EInvalidGraphic : public Exception {
    using Exception::Exception;
};
class EJPEG : public Exception {
    using Exception::Exception;
};

// Lists and ranges.
class EStringListError : public Exception {
    using Exception::Exception;
};
class EInvalidOperation : public Exception {
    using Exception::Exception;
};
class ERangeError : public Exception {
    using Exception::Exception;
};

// Registry and profile access.
class ERegistryException : public Exception {
    using Exception::Exception;
};
class EIniFileException : public Exception {
    using Exception::Exception;
};

// The socket client (English messages).
class ESockError : public Exception {
    using Exception::Exception;
};
class EAbortError : public ESockError {
    using ESockError::ESockError;
};

// printf-style formatting of a message text, for the texts with %s and %d.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The message texts shared by several subsystems.
namespace msg {
inline constexpr const char* FOpenError = "ファイル %s は開けません";
inline constexpr const char* FCreateError = "ファイル %s を作成できません";
inline constexpr const char* FileBusy = "ファイル %s は他のプログラムが使用中です";
inline constexpr const char* ReadError = "ストリームからの読み込みエラー";
inline constexpr const char* WriteError = "ストリームへの書き込みエラー";
inline constexpr const char* InvalidStreamFormat = "不正なストリーム フォーマット";
inline constexpr const char* InvalidGraphic = "ビットマップイメージが不正です";
inline constexpr const char* JpegError = "JPEG エラー #%d";
inline constexpr const char* RangeError = "範囲チェックエラー"; // a value outside its type's range
inline constexpr const char* ListIndexError = "リストのインデックスが範囲を超えています (%d)";
inline constexpr const char* ImageListInvalidIndex = "不正なインデックスがイメージ リストに渡されました";
inline constexpr const char* ImageListReadError = "ストリームからの ImageList データの読み込みに失敗しました";
inline constexpr const char* ImageListWriteError = "ストリームへの ImageList データの書き込みに失敗しました";
inline constexpr const char* IniFileWriteError = "%s に書き込めません";
// A path over the system's limit (files::CheckPathLength): the path, then the limit ("259 文字").
inline constexpr const char* PathTooLong = "パス名 %s は長すぎます (%sまで)";
// A text from outside (an argument, a typed or chosen name) holding a character the system code page
// lacks: what it is ("argument 2", or the name with "?" for what is missing).
inline constexpr const char* NotInCodePage = "%s cannot be expressed in the system code page";
} // namespace msg

} // namespace vorlane
