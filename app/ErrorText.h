// The texts by which errors reach the user, the same under every front end: the program's title and the
// message as the error box shows it.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace vorlane {

// The program's title: the executable's file name up to its first ".", every letter after the first in
// lower case ("Vorlane16").
std::string ApplicationTitle(std::string_view executablePath);

// The message as the error box shows it: a "." is appended when the last character sorts after ".".
std::string ErrorBoxText(const std::string& message);
// The error box's text for `error`, with `afterwards` as a paragraph after it when given (what the user
// can do now).
std::string ErrorBoxText(const std::exception& error, const std::string& afterwards = "");
// Inside a catch block: the error box's text for the exception being handled, of whatever kind.
std::string CurrentErrorBoxText();

// The text of the start-up error box: the exception's class and its message.
std::string StartupErrorText(const std::exception& error);
inline constexpr const char* StartupErrorTitle = "アプリケーション エラー";

} // namespace vorlane
