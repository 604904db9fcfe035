// The mascot of another program, for the direct SSTP test on Windows: a window that takes one
// copy-data request and answers it as mascots do, with a copy-data message to the window its HWnd line
// names, the reply followed by a NUL. Writes its window's number and a line end to standard output
// first, then, once the request came, its identifier, a line end and its bytes.
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "platform/EventLoopWait.h"
#include "platform/MessageWindow.h"

int main()
{
    using namespace vorlane;
    _setmode(_fileno(stdout), _O_BINARY);
    std::string request;
    uint32_t id = 0;
    bool answered = false;
    WindowHandle self = 0;
    self = AllocateWindow([&](uint32_t message, uintptr_t, intptr_t lParam) -> intptr_t {
        if (message != WM_COPYDATA || answered)
            return 0;
        const CopyDataStruct* data = CopyDataOf(lParam);
        id = data->dwData;
        request.assign(static_cast<const char*>(data->lpData), data->cbData);
        const size_t at = request.find("HWnd: ");
        if (at != std::string::npos) {
            const auto replyTo = static_cast<WindowHandle>(std::stoul(request.substr(at + 6)));
            SendCopyData(replyTo, self, 0, std::string("SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\0", 39));
        }
        answered = true;
        return 0;
    });
    std::printf("%u\n", static_cast<unsigned>(self));
    std::fflush(stdout);
    if (!EventWait::Within(std::chrono::seconds(20)).Until([&] { return answered; }, 100))
        return 1;
    std::printf("%u\n", static_cast<unsigned>(id));
    std::fwrite(request.data(), 1, request.size(), stdout);
    return 0;
}
