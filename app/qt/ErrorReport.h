// How errors reach the user under Qt: the program's title, and the central handler every command runs
// under, which shows the error box (texts: app/ErrorText.h).
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "app/ErrorText.h"
#include "platform/FolderLock.h"

namespace vorlane {

std::string ApplicationTitle(); // of the running executable

// Shows one error: title and text. The default opens a message box with an OK button and the error
// icon; tests replace it so that nothing blocks.
using ErrorPresenter = std::function<void(const std::string& title, const std::string& text)>;
void SetErrorPresenter(ErrorPresenter presenter); // an empty one restores the default

// Tells the user something that is no error (what became of a file): an information box under the
// program's title, through the same presenter as the errors.
void ShowNotice(const std::string& text);
// Shows an error box whose text is complete (ErrorBoxText made it).
void ShowError(const std::string& text);
// Asks what to do while another program holds the gallery's lock: a warning box with 中止, 再試行 and
// 無視. Through a presenter (tests) the text is shown and the answer is to give up.
LockWait AskWhileBusy(const std::string& text);

// The central handler, inside a catch block, for any exception: shows the exception's message under the
// program's title; the program goes on.
void HandleCurrentException();

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

} // namespace vorlane
