// Gallery texts are bytes in the system code page: UTF-8 here, Shift_JIS in galleries made on Windows.
// A terminal and a JSON reader both want UTF-8, so names are shown through the platform's one conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace vorlane::gsk {

using codepage::DisplayText;

// DisplayText for a terminal: control characters (C0, DEL and C1) are shown as \xHH or \uHHHH, so that a
// name can neither split a line nor send the terminal a command (a new title, a cursor move).
std::string TerminalText(std::string_view bytes);

// How far long work got, as one line on standard error rewritten in place ("adding pictures: 49 / 200"),
// only when standard error is a terminal; the line is cleared when the work ends.
class ProgressLine {
public:
    explicit ProgressLine(std::string what);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    // `done` things of `total` (0: of a total not known).
    void Show(size_t done, size_t total = 0);

private:
    const std::string what_;
    const bool terminal_;
    bool shown_ = false;
    size_t last_ = 0;
};

} // namespace vorlane::gsk
