// How errors reach the user: the program's title, the message text as the error box shows it, and the
// central handler every command runs under.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace vorlane {

// The program's title: the executable's file name up to its first ".", every letter after the first in
// lower case ("Vorlane16").
std::string ApplicationTitle(std::string_view executablePath);
std::string ApplicationTitle(); // of the running executable

// The message as the error box shows it: a "." is appended when the last character sorts after ".".
std::string ErrorBoxText(const std::string& message);

// Shows one error: title and text. The default opens a message box with an OK button and the error
// icon; tests replace it so that nothing blocks.
using ErrorPresenter = std::function<void(const std::string& title, const std::string& text)>;
void SetErrorPresenter(ErrorPresenter presenter); // an empty one restores the default

// Tells the user something that is no error (what became of a file): an information box under the
// program's title, through the same presenter as the errors.
void ShowNotice(const std::string& text);

// The central handler: shows the exception's message under the program's title, with `afterwards` as a
// paragraph after it when given (what the user can do now); the program goes on.
void ShowException(const std::exception& error, const std::string& afterwards = "");
void HandleCurrentException(); // inside a catch block, for any exception

// Runs one command: an exception that escapes it ends the command and goes to the central handler.
template <class F>
void RunCommand(F&& command)
{
    try {
        command();
    } catch (...) {
        HandleCurrentException();
    }
}

// The text of the start-up error box: the exception's class and its message.
std::string StartupErrorText(const std::exception& error);
inline constexpr const char* StartupErrorTitle = "アプリケーション エラー";

} // namespace vorlane
