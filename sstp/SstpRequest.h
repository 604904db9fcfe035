// Composing SSTP requests and reading the status of replies: pure text work, no delivery.
#pragma once

#include "sstp/SstpTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::sstp {

// Splits a text into lines: a line ends at CR, LF or a CR LF pair; a NUL byte ends the text; a break
// at the very end adds no empty line, and an empty text gives no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The words of the Option line: "", "notranslate", "nodescript" or "notranslate,nodescript".
std::string OptionText(TSstpOptions options);

// What a "SEND SSTP/1.0" request is made of.
struct RequestParts {
    std::string sender;                   // the Sender line's value, unchanged
    std::vector<std::string> scriptLines; // the first becomes the Script line, the others Entry lines
    TSstpOptions options;
    uint32_t wnd = 0; // a window named by the caller, 0 for none
    TSstpMethod method = smTcpIp;
    uint32_t replyWindow = 0; // the sender's own reply window, named for direct delivery
};

// Puts the sender and the script lines into Shift_JIS, the char set every request declares: text on
// this platform is UTF-8, and mascots read every request as code page 932 (see ToShiftJis for what
// has no form there).
void EncodeShiftJis(RequestParts& parts);

// The request lines in order, without line ends; the last is the empty line. The HWnd line names
// `wnd` when it is not 0, whatever the method, and otherwise `replyWindow` for direct delivery only.
std::vector<std::string> ComposeRequest(const RequestParts& parts);

// Each line followed by CR LF: the payload of a direct delivery.
std::string JoinLines(const std::vector<std::string>& lines);

// Whether a reply is complete: it ends with its first empty line (line breaks as in SplitLines, so a
// break right at the start counts too). Mascots answer and then keep the connection open.
bool ReplyComplete(std::string_view reply);

// The status code of a reply's first line: the digits after the first word and one blank, or -1000
// when the line is empty, the digits are missing or they exceed 2147483647.
int32_t ParseStatusCode(std::string_view line);

// The result a status code stands for; every code without its own result is srOther.
TSstpResult CodeToResult(int32_t code);

// The results that end a queued script (200, 204, 210, 400, 408, 501, 504, 541), as a mask over the
// result values.
inline constexpr uint16_t FinalResults = 0x069F;
constexpr bool IsFinalResult(TSstpResult result)
{
    return result <= srOther && ((FinalResults >> result) & 1u);
}

} // namespace vorlane::sstp
