// The direct SSTP method between two programs, as Windows carries it: the request to a mascot's window
// in another process, and its reply sent back to the component's hidden window before the send returns.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "sstp/FastSstp.h"

namespace vorlane {
namespace {

// A program started with its standard output on a pipe; the destructor waits for it.
class Child {
public:
    explicit Child(const char* program)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        if (!CreatePipe(&read_, &write, &inherit, 0))
            return;
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string commandLine = std::string("\"") + program + "\"";
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &process)) {
            process_ = process.hProcess;
            CloseHandle(process.hThread);
        }
        CloseHandle(write); // the child's copy is the only one left: its end is the end of the output
    }
    ~Child()
    {
        if (process_) {
            WaitForSingleObject(process_, 20000);
            CloseHandle(process_);
        }
        CloseHandle(read_);
    }

    bool Started() const { return process_ != nullptr; }
    // Up to and without the next line end.
    std::string Line()
    {
        std::string line;
        char c;
        DWORD got = 0;
        while (ReadFile(read_, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            line += c;
        return line;
    }
    std::string Rest()
    {
        std::string rest;
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(read_, chunk, sizeof chunk, &got, nullptr) && got > 0)
            rest.append(chunk, got);
        return rest;
    }
    DWORD ExitCode()
    {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(process_, 20000);
        GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE read_ = nullptr;
    HANDLE process_ = nullptr;
};

TEST(DirectSstpAcrossPrograms, TheMascotsReplyArrivesBeforeTheSendReturns)
{
    Child mascot(DIRECT_MASCOT);
    ASSERT_TRUE(mascot.Started());
    const auto target = static_cast<WindowHandle>(std::stoul(mascot.Line()));
    ASSERT_TRUE(IsWindow(target));

    TFastSstp sstp;
    sstp.SetSstpSender("Vorlane");
    sstp.SetSstpMethod(smDirectSstp);
    sstp.SetTargetHWnd(target);
    EXPECT_EQ(sstp.SendScript("\x95\xC7\x8E\x86", {soNoDescript}), srOk);
    EXPECT_EQ(sstp.StatusCode(), 200);
    EXPECT_EQ(sstp.ReplyLines(), (std::vector<std::string>{"SSTP/1.4 200 OK", "Charset: Shift_JIS"}));

    EXPECT_EQ(mascot.Line(), "9801");
    EXPECT_EQ(mascot.Rest(), "SEND SSTP/1.0\r\nSender: Vorlane\r\nCharSet: Shift_JIS\r\nScript: \x95\xC7\x8E\x86\r\n"
                             "Option: nodescript\r\nHWnd: " +
                                 std::to_string(sstp.Handle()) + "\r\n\r\n");
    EXPECT_EQ(mascot.ExitCode(), 0u);
}

} // namespace
} // namespace vorlane
