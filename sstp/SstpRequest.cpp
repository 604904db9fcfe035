#include "sstp/SstpRequest.h"

#include "sstp/ShiftJisText.h"

namespace vorlane::sstp {

std::vector<std::string> SplitLines(std::string_view text)
{
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r')
            ++end;
        if (end < text.size() && text[end] == '\n')
            ++end;
        start = end;
    }
    return lines;
}

std::string OptionText(TSstpOptions options)
{
    std::string text;
    if (options.Contains(soNoTranslate))
        text = "notranslate";
    if (options.Contains(soNoDescript)) {
        if (!text.empty())
            text += ",";
        text += "nodescript";
    }
    return text;
}

void EncodeShiftJis(RequestParts& parts)
{
    parts.sender = ToShiftJis(parts.sender);
    for (std::string& line : parts.scriptLines)
        line = ToShiftJis(line);
}

std::vector<std::string> ComposeRequest(const RequestParts& parts)
{
    std::vector<std::string> request;
    request.push_back("SEND SSTP/1.0");
    request.push_back("Sender: " + parts.sender);
    request.push_back("CharSet: Shift_JIS");
    for (size_t i = 0; i < parts.scriptLines.size(); ++i)
        request.push_back((i == 0 ? "Script: " : "Entry: ") + parts.scriptLines[i]);
    request.push_back("Option: " + OptionText(parts.options));
    // A handle is unsigned: one with the top bit set still prints as a positive number.
    if (parts.wnd != 0)
        request.push_back("HWnd: " + std::to_string(parts.wnd));
    else if (parts.method == smDirectSstp)
        request.push_back("HWnd: " + std::to_string(parts.replyWindow));
    request.emplace_back();
    return request;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool ReplyComplete(std::string_view reply)
{
    reply = reply.substr(0, reply.find('\0'));
    bool lineStart = true;
    for (size_t i = 0; i < reply.size(); ++i) {
        const char c = reply[i];
        if (c != '\r' && c != '\n') {
            lineStart = false;
            continue;
        }
        if (lineStart)
            return true; // a break where a line begins: the empty line
        if (c == '\r' && i + 1 < reply.size() && reply[i + 1] == '\n')
            ++i; // CR LF is one break
        lineStart = true;
    }
    return false;
}

int32_t ParseStatusCode(std::string_view line)
{
    if (line.empty())
        return NoStatusCode;
    size_t pos = line.find(' ');
    if (pos == std::string_view::npos)
        return NoStatusCode; // one word and nothing after it: no digits
    ++pos;                   // the one blank
    int64_t code = 0;
    size_t digits = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos, ++digits) {
        code = code * 10 + (line[pos] - '0');
        if (code > INT32_MAX)
            return NoStatusCode;
    }
    return digits == 0 ? NoStatusCode : static_cast<int32_t>(code);
}

TSstpResult CodeToResult(int32_t code)
{
    switch (code) {
    case 200:
        return srOk;
    case 204:
        return srNoContent;
    case 210:
        return srBreak;
    case 400:
        return srBadRequest;
    case 408:
        return srRequestTimeout;
    case 409:
        return srConflict;
    case 420:
        return srRefuse;
    case 501:
        return srNotImplemented;
    case 503:
        return srServiceUnavailable;
    case 504:
        return srNotLocalIp;
    case 541:
        return srInBlackList;
    default:
        return srOther;
    }
}

} // namespace vorlane::sstp
