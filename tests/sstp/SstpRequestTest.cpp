#include "sstp/SstpRequest.h"
#include "sstp/ShiftJisText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vorlane::sstp {
namespace {

using Lines = std::vector<std::string>;
using ::testing::ElementsAre;

TEST(SstpSplitLines, BreaksAtCrLfAndCrLfPairs)
{
    EXPECT_THAT(SplitLines(""), ElementsAre());
    EXPECT_THAT(SplitLines("one\r\ntwo\nthree"), ElementsAre("one", "two", "three"));
    EXPECT_THAT(SplitLines("one\r\n"), ElementsAre("one"));
    EXPECT_THAT(SplitLines("one\n\ntwo"), ElementsAre("one", "", "two"));
    EXPECT_THAT(SplitLines("a\rb"), ElementsAre("a", "b"));
    EXPECT_THAT(SplitLines("a\n\rb"), ElementsAre("a", "", "b")); // LF then CR: two breaks
    EXPECT_THAT(SplitLines("\r\n"), ElementsAre(""));
}

TEST(SstpSplitLines, NulEndsTheText)
{
    EXPECT_THAT(SplitLines(std::string("one\0two\nthree", 13)), ElementsAre("one"));
    EXPECT_THAT(SplitLines(std::string("\0x", 2)), ElementsAre());
}

TEST(SstpOptionText, JoinsTheWordsWithAComma)
{
    EXPECT_EQ(OptionText({}), "");
    EXPECT_EQ(OptionText({soNoTranslate}), "notranslate");
    EXPECT_EQ(OptionText({soNoDescript}), "nodescript");
    EXPECT_EQ(OptionText({soNoTranslate, soNoDescript}), "notranslate,nodescript");
    EXPECT_EQ(OptionText(TSstpOptions::FromByte(0xFC)), ""); // other bits have no effect
    EXPECT_EQ(TSstpOptions({soNoDescript}).Byte(), 2);
}

Lines Compose(Lines script, TSstpOptions options = {}, uint32_t wnd = 0, TSstpMethod method = smTcpIp)
{
    RequestParts parts;
    parts.sender = "Vorlane";
    parts.scriptLines = std::move(script);
    parts.options = options;
    parts.wnd = wnd;
    parts.method = method;
    parts.replyWindow = 77;
    return ComposeRequest(parts);
}

TEST(SstpComposeRequest, LinesInOrder)
{
    EXPECT_THAT(Compose({}), ElementsAre("SEND SSTP/1.0", "Sender: Vorlane", "CharSet: Shift_JIS", "Option: ", ""));
    EXPECT_THAT(Compose(SplitLines("one\r\ntwo\nthree"), {soNoDescript}),
                ElementsAre("SEND SSTP/1.0", "Sender: Vorlane", "CharSet: Shift_JIS", "Script: one", "Entry: two",
                            "Entry: three", "Option: nodescript", ""));
    EXPECT_THAT(Compose(SplitLines("one\n\ntwo")), ElementsAre("SEND SSTP/1.0", "Sender: Vorlane", "CharSet: Shift_JIS",
                                                               "Script: one", "Entry: ", "Entry: two", "Option: ", ""));
}

TEST(SstpComposeRequest, HWndLineRules)
{
    EXPECT_EQ(Compose({"x"}, {}, 0, smTcpIp)[4], "Option: ");
    EXPECT_EQ(Compose({"x"}, {}, 0, smTcpIp).size(), 6u);
    EXPECT_EQ(Compose({"x"}, {}, 0, smDirectSstp)[5], "HWnd: 77");
    EXPECT_EQ(Compose({"x"}, {}, 1234, smTcpIp)[5], "HWnd: 1234");
    EXPECT_EQ(Compose({"x"}, {}, 1234, smDirectSstp)[5], "HWnd: 1234");
    EXPECT_EQ(Compose({"x"}, {}, 0x80000001u, smTcpIp)[5], "HWnd: 2147483649");
    EXPECT_EQ(Compose({"x"}, {}, 0xFFFFFFFFu, smTcpIp)[5], "HWnd: 4294967295");
}

TEST(SstpShiftJis, EachRunOfBytesThatIsNotUtf8BecomesOneQuestionMark)
{
    EXPECT_EQ(ToShiftJis("\xC0\x80|\xED\xA0\x80|\xF5\x80|\xF4\x90\x80\x80"),
              "??|???|??|????");                                  // overlong, surrogate, too high
    EXPECT_EQ(ToShiftJis("\xE3\x81|\xF0\x9F\x98|\xE3"), "?|?|?"); // cut short
    EXPECT_EQ(ToShiftJis("\x80\xBF表"), "??\x95\x5C");            // stray continuation bytes
}

TEST(SstpJoinLines, EachLineEndsInCrLf)
{
    EXPECT_EQ(JoinLines({"SEND SSTP/1.0", "Option: ", ""}), "SEND SSTP/1.0\r\nOption: \r\n\r\n");
    EXPECT_EQ(JoinLines({}), "");
}

TEST(SstpReplyComplete, AtTheFirstEmptyLine)
{
    EXPECT_FALSE(ReplyComplete(""));
    EXPECT_FALSE(ReplyComplete("SSTP/1.4 200 OK\r\n"));
    EXPECT_FALSE(ReplyComplete("SSTP/1.4 200 OK\r\nSender: x\r\n"));
    EXPECT_FALSE(ReplyComplete(std::string("SSTP/1.4 200 OK\0\r\n\r\n", 20))); // nothing counts after a NUL
    EXPECT_TRUE(ReplyComplete("SSTP/1.4 200 OK\r\n\r\n"));
    EXPECT_TRUE(ReplyComplete("SSTP/1.4 200 OK\r\nSender: x\r\n\r\nmore"));
    EXPECT_TRUE(ReplyComplete("SSTP/1.4 200 OK\n\n"));
    EXPECT_TRUE(ReplyComplete("SSTP/1.4 200 OK\n\r"));
    EXPECT_TRUE(ReplyComplete("\r\n"));
}

TEST(SstpParseStatusCode, DigitsAfterTheFirstWordAndOneBlank)
{
    EXPECT_EQ(ParseStatusCode("SSTP/1.4 200 OK"), 200);
    EXPECT_EQ(ParseStatusCode("SSTP/1.4  200 OK"), NoStatusCode); // two blanks
    EXPECT_EQ(ParseStatusCode("SSTP/1.4200"), NoStatusCode);      // no blank
    EXPECT_EQ(ParseStatusCode(" 200 OK"), 200);                   // an empty first word
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 204abc"), 204);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 2147483647"), 2147483647);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 2147483648"), NoStatusCode);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 99999999999999999999999"), NoStatusCode);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 0000200"), 200);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 -200"), NoStatusCode); // no sign is taken
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 +200"), NoStatusCode);
    EXPECT_EQ(ParseStatusCode("SSTP/1.0 "), NoStatusCode);
    EXPECT_EQ(ParseStatusCode(""), NoStatusCode);
}

TEST(SstpCodeToResult, TheTableAndItsFinalResults)
{
    const std::pair<int32_t, TSstpResult> table[] = {
        {200, srOk},
        {204, srNoContent},
        {210, srBreak},
        {400, srBadRequest},
        {408, srRequestTimeout},
        {409, srConflict},
        {420, srRefuse},
        {501, srNotImplemented},
        {503, srServiceUnavailable},
        {504, srNotLocalIp},
        {541, srInBlackList},
        {201, srOther},
        {NoStatusCode, srOther},
        {0, srOther},
    };
    for (auto [code, result] : table)
        EXPECT_EQ(CodeToResult(code), result) << code;

    Lines final;
    for (int r = srOk; r <= srOther; ++r)
        if (IsFinalResult(static_cast<TSstpResult>(r)))
            final.push_back(std::to_string(r));
    EXPECT_THAT(final, ElementsAre("0", "1", "2", "3", "4", "7", "9", "10"));
}

} // namespace
} // namespace vorlane::sstp
