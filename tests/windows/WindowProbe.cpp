// Drives Vorlane16.exe from outside, as a user would, and reports what it shows:
//   vorlane-window-probe PROGRAM STEP...
//   vorlane-window-probe PROGRAM startup-error
// starts PROGRAM in its own folder. With startup-error it waits for the error box the program shows
// instead of its window, prints the box's caption and text, presses OK and prints the exit code.
// Otherwise it waits until the main window shows, then runs the steps:
//   caption        prints the main window's caption
//   items          prints how many items the list shows
//   select-first   selects the list's first item with the keyboard (Home); select-last with End; prints
//                  the selected item's index
//   drag FROM TO   drags list item FROM onto item TO with the mouse (the items of one row of large icons)
//   command N      sends the menu command N (WM_COMMAND) and waits until it has run
//   announced N    the same, as the desktop mascot: listens on 127.0.0.1:9801 meanwhile, answers the one
//                  request that comes with "SSTP/1.0 200 OK" and prints its lines, then "."; prints
//                  "none" and "." when no request came within the deadline
//   unanswered N   runs menu command N as announced does, but the mascot never answers: once the request
//                  is in, it opens the program's first menu and waits, the menu left open, for the
//                  program to close the connection; prints "closed, menu open" when that came while the
//                  menu was still open, otherwise "not closed" or "closed, menu gone"; then closes the
//                  menu and waits until the command has ended
//   post N         posts the menu command N, which may open a modal dialog, and goes on at once
//   dialog CLASS   waits for the program's dialog window of this class ("#32770" for the common
//                  dialogs, "TGskForm") and prints its caption
//   type TEXT      puts TEXT into the dialog's name box (TEXT as the wide command line gives it, so it
//                  may hold characters the code page lacks)
//   chars TEXT     types TEXT into the dialog's name box as the keyboard does: each UTF-16 unit posted
//                  as WM_CHAR; ime TEXT the same as an input method hands its result on, as WM_IME_CHAR
//   text           prints the text of a message box
//   ok             presses the dialog's OK button and waits until the dialog is gone; cancel the Cancel
//                  button; escape presses Escape in it
//   press ID       presses the dialog's button ID (a number) and goes on at once
//   select-file    selects the first file the open dialog lists (Home in its file list), then prints
//                  the picture panel's size label
//   wallpaper      prints the desktop's wallpaper, as the system call gives it
//   capture FILE   writes what the screen shows of the open dialog, or else of the main window, as a
//                  24-bit bitmap file
//   close          closes the window (WM_CLOSE), waits for the program's end and prints its exit code
// Output is in the system code page. Every wait has a deadline; a message box the program shows instead
// of going on is printed and ends the probe with status 1.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <shellapi.h>
#include <string>

namespace {

constexpr DWORD Deadline = 60000;
// How long an unanswered announcement may keep its connection: ten times the program's 2 s time-out.
constexpr DWORD UnansweredCloseBound = 20000;

struct Program {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    HWND list = nullptr;
    HWND dialog = nullptr;
};

[[noreturn]] void Fail(const Program& program, const char* what)
{
    std::printf("failed: %s\n", what);
    // What the program shows instead: its message boxes and their texts.
    EnumWindows(
        [](HWND window, LPARAM pid) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != DWORD(pid))
                return TRUE;
            char text[1024] = {}, name[64] = {};
            GetWindowTextA(window, text, sizeof text);
            GetClassNameA(window, name, sizeof name);
            RECT area;
            GetWindowRect(window, &area);
            std::printf("window %s%s (%ld,%ld)-(%ld,%ld): %s\n", name, IsWindowVisible(window) ? "" : ", hidden",
                        area.left, area.top, area.right, area.bottom, text);
            EnumChildWindows(
                window,
                [](HWND child, LPARAM) -> BOOL {
                    char inner[1024] = {}, kind[64] = {};
                    GetWindowTextA(child, inner, sizeof inner);
                    GetClassNameA(child, kind, sizeof kind);
                    std::printf("  %s %#x: %s\n", kind, unsigned(GetDlgCtrlID(child)), inner);
                    return TRUE;
                },
                0);
            return TRUE;
        },
        LPARAM(program.process.dwProcessId));
    std::fflush(stdout);
    TerminateProcess(program.process.hProcess, 1);
    std::exit(1);
}

// The program's top-level window of this class; a hidden one too unless `visibleOnly`.
HWND FindWindowOf(DWORD pid, const char* className, bool visibleOnly = true)
{
    struct Search {
        DWORD pid;
        const char* className;
        bool visibleOnly;
        HWND found;
    } search{pid, className, visibleOnly, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (owner == s.pid && std::strcmp(name, s.className) == 0 && (!s.visibleOnly || IsWindowVisible(window))) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

// Sends and waits for the answer, within the deadline.
LRESULT Send(const Program& program, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, Deadline, &result))
        Fail(program, "the window did not answer");
    return LRESULT(result);
}

// Waits, one round trip through the program's message loop at a time, until `done` holds: the program
// shows and hides its windows as it handles its messages. Within the deadline.
template <class F>
void WaitFor(const Program& program, const char* what, F done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > Deadline)
            Fail(program, what);
        DWORD_PTR result = 0;
        SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, Deadline, &result);
    }
}

// The screen's pixels under the window, as they are shown.
void Capture(const Program& program, const char* file)
{
    HWND shown = program.dialog ? program.dialog : program.window;
    // Drawn anew, each part by its own window procedure before the paint message returns, and handed to
    // the display once the program's loop is back waiting (a round trip).
    RedrawWindow(shown, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    struct Painter {
        const Program* program;
        static BOOL CALLBACK Paint(HWND window, LPARAM self)
        {
            Send(*reinterpret_cast<const Painter*>(self)->program, window, WM_PAINT, 0, 0);
            return TRUE;
        }
    } painter{&program};
    Painter::Paint(shown, LPARAM(&painter));
    EnumChildWindows(shown, Painter::Paint, LPARAM(&painter));
    Send(program, program.window, WM_NULL, 0, 0);
    RECT area;
    GetWindowRect(shown, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up, as the file stores it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = DWORD((width * 3 + 3) & ~3);
    info.biSizeImage = rowBytes * DWORD(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    if (FILE* out = std::fopen(file, "wb")) {
        std::fwrite(&header, sizeof header, 1, out);
        std::fwrite(&info, sizeof info, 1, out);
        std::fwrite(bits, 1, info.biSizeImage, out);
        std::fclose(out);
    } else {
        Fail(program, "cannot write the capture");
    }
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Where the mouse points at the icon of list item `index` on the screen: large icons stand in one row of
// cells of the list's item spacing, each icon centred at the top of its cell.
POINT ItemIconPoint(const Program& program, int index)
{
    const LRESULT spacing = Send(program, program.list, LVM_GETITEMSPACING, FALSE, 0);
    POINT point{index * LOWORD(spacing) + LOWORD(spacing) / 2, 2 + 16};
    ClientToScreen(program.list, &point);
    return point;
}

// Moves the mouse to `point`, with the button `flags` (down, up or neither), as the user's hand does.
void Mouse(const Program& program, POINT point, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG(point.x * 65536 / GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = LONG(point.y * 65536 / GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof input);
    // Handled before the next: one round trip through the program's loop.
    Send(program, program.window, WM_NULL, 0, 0);
}

void Drag(const Program& program, int from, int to)
{
    const POINT start = ItemIconPoint(program, from), end = ItemIconPoint(program, to);
    Mouse(program, start, 0);
    Mouse(program, start, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 8; ++step)
        Mouse(program, {start.x + (end.x - start.x) * step / 8, start.y + (end.y - start.y) * step / 8}, 0);
    Mouse(program, end, MOUSEEVENTF_LEFTUP);
}

// The name box of a dialog: its first visible edit box, however deep (the common dialog's lies inside its
// file-name combo box).
HWND NameBox(HWND dialog)
{
    HWND found = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM result) -> BOOL {
            char kind[64] = {};
            GetClassNameA(child, kind, sizeof kind);
            if (_stricmp(kind, "Edit") != 0 || !IsWindowVisible(child))
                return TRUE;
            *reinterpret_cast<HWND*>(result) = child;
            return FALSE;
        },
        LPARAM(&found));
    return found;
}

HWND NameBoxOf(const Program& program)
{
    HWND box = program.dialog ? NameBox(program.dialog) : nullptr;
    if (!box)
        Fail(program, "no name box");
    return box;
}

// Argument `i` as the wide command line holds it: the narrow argv lacks what the code page cannot write.
std::wstring WideArgument(int i)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = arguments && i < count ? arguments[i] : L"";
    LocalFree(arguments);
    return argument;
}

// Posts `text` to the name box one UTF-16 unit a message, as the keyboard or an input method hands
// typed text to the window with the focus, and waits until the box has taken as many characters.
void TypeText(const Program& program, const std::wstring& text, UINT message)
{
    HWND box = NameBoxOf(program);
    const LRESULT before = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    for (wchar_t unit : text)
        PostMessageW(box, message, WPARAM(unit), 1);
    WaitFor(program, "the typed text did not arrive", [&] {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, Deadline, &length);
        return LRESULT(length) >= before + LRESULT(text.size());
    });
}

// A socket's wait for reading, bounded by the deadline.
bool Readable(SOCKET socket, DWORD milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{LONG(milliseconds / 1000), LONG(milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

// Listens as the mascot on 127.0.0.1:9801.
SOCKET ListenAsMascot(const Program& program)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(9801);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(server, 1) != 0)
        Fail(program, "cannot listen on 127.0.0.1:9801");
    return server;
}

// The request a connected peer sends, up to its empty line.
std::string ReadRequest(SOCKET peer)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && Readable(peer, Deadline)) {
        const int got = recv(peer, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, size_t(got));
    }
    return request;
}

// Runs command `id` while answering its announcement as the mascot does.
void Announced(const Program& program, int id)
{
    SOCKET server = ListenAsMascot(program);
    PostMessageA(program.window, WM_COMMAND, WPARAM(id), 0);
    std::string request;
    if (Readable(server, Deadline)) {
        SOCKET peer = accept(server, nullptr, nullptr);
        request = ReadRequest(peer);
        const char reply[] = "SSTP/1.0 200 OK\r\n\r\n";
        send(peer, reply, int(sizeof reply - 1), 0);
        closesocket(peer);
    }
    closesocket(server);
    Send(program, program.window, WM_NULL, 0, 0);
    if (request.empty())
        std::printf("none\n");
    for (size_t at = 0; at < request.size();) {
        const size_t end = request.find("\r\n", at);
        if (end == std::string::npos || end == at)
            break;
        std::printf("%s\n", request.substr(at, end - at).c_str());
        at = end + 2;
    }
    std::printf(".\n");
}

// Whether the program shows a menu: the system's pop-up menu window.
bool MenuOpen(const Program& program)
{
    return FindWindowOf(program.process.dwProcessId, "#32768") != nullptr;
}

// The announcement of command `id` left unanswered while a menu stays open: the program's time-out must
// close the connection all the same. The close is awaited with a bound far beyond the 2 s time-out.
void Unanswered(const Program& program, int id)
{
    SOCKET server = ListenAsMascot(program);
    PostMessageA(program.window, WM_COMMAND, WPARAM(id), 0);
    if (!Readable(server, Deadline))
        Fail(program, "no announcement came");
    SOCKET peer = accept(server, nullptr, nullptr);
    ReadRequest(peer);
    // The first menu opens as its access key does, inside the program's wait for the reply.
    PostMessageA(program.window, WM_SYSCOMMAND, SC_KEYMENU, 'f');
    WaitFor(program, "no menu opened", [&] { return MenuOpen(program); });
    bool closed = false;
    char buffer[4096];
    while (!closed && Readable(peer, UnansweredCloseBound)) {
        const int got = recv(peer, buffer, sizeof buffer, 0);
        closed = got <= 0;
    }
    std::printf("%s\n", !closed ? "not closed" : MenuOpen(program) ? "closed, menu open" : "closed, menu gone");
    closesocket(peer);
    closesocket(server);
    PostMessageA(program.window, WM_CANCELMODE, 0, 0);
    WaitFor(program, "the menu stayed", [&] { return !MenuOpen(program); });
    Send(program, program.window, WM_NULL, 0, 0);
}

Program Start(const char* path)
{
    Program program;
    std::string folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + path + "\"";
    if (!CreateProcessA(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &program.process)) {
        std::printf("failed: cannot start %s (%lu)\n", path, GetLastError());
        std::exit(1);
    }
    return program;
}

void WaitForMainWindow(Program& program)
{
    // The main window exists once the program first waits for input; it shows as the program goes on.
    if (WaitForInputIdle(program.process.hProcess, Deadline) != 0)
        Fail(program, "the program did not come to wait for input");
    program.window = FindWindowOf(program.process.dwProcessId, "TMainForm", false);
    if (!program.window)
        Fail(program, "no main window");
    WaitFor(program, "the main window did not show", [&] { return IsWindowVisible(program.window) != FALSE; });
    program.list = FindWindowExA(program.window, nullptr, WC_LISTVIEWA, nullptr);
}

// The error box of a start that failed: a task-modal message box, while no main window exists.
void StartupError(Program& program)
{
    if (WaitForInputIdle(program.process.hProcess, Deadline) != 0)
        Fail(program, "the program did not come to wait for input");
    // The box may still be on its way to the screen when the program first waits for input.
    HWND box = nullptr;
    for (const DWORD start = GetTickCount(); !(box = FindWindowOf(program.process.dwProcessId, "#32770"));) {
        if (GetTickCount() - start > Deadline || WaitForSingleObject(program.process.hProcess, 50) != WAIT_TIMEOUT)
            Fail(program, "no error box");
    }
    char caption[1024] = {}, text[2048] = {};
    Send(program, box, WM_GETTEXT, sizeof caption, LPARAM(caption));
    Send(program, GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, LPARAM(text)); // a message box's text
    std::printf("%s\n%s\n", caption, text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (WaitForSingleObject(program.process.hProcess, Deadline) != WAIT_OBJECT_0)
        Fail(program, "the program did not end after its error box");
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    std::printf("%lu\n", code);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorlane-window-probe PROGRAM STEP...\n");
        return 2;
    }
    Program program = Start(argv[1]);
    if (argc == 3 && std::string(argv[2]) == "startup-error") {
        StartupError(program);
        return 0;
    }
    WaitForMainWindow(program);
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "caption") {
            char caption[1024] = {};
            Send(program, program.window, WM_GETTEXT, sizeof caption, LPARAM(caption));
            std::printf("%s\n", caption);
        } else if (step == "items") {
            std::printf("%d\n", int(Send(program, program.list, LVM_GETITEMCOUNT, 0, 0)));
        } else if (step == "select-first" || step == "select-last") {
            Send(program, program.list, WM_KEYDOWN, step == "select-first" ? VK_HOME : VK_END, 0);
            std::printf("%d\n", int(Send(program, program.list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)));
        } else if (step == "drag" && i + 2 < argc) {
            Drag(program, std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
            i += 2;
        } else if (step == "command" && i + 1 < argc) {
            Send(program, program.window, WM_COMMAND, WPARAM(std::atoi(argv[++i])), 0);
        } else if (step == "post" && i + 1 < argc) {
            PostMessageA(program.window, WM_COMMAND, WPARAM(std::atoi(argv[++i])), 0);
        } else if (step == "dialog" && i + 1 < argc) {
            const char* className = argv[++i];
            WaitFor(program, "no dialog came",
                    [&] { return (program.dialog = FindWindowOf(program.process.dwProcessId, className)) != nullptr; });
            char caption[1024] = {};
            Send(program, program.dialog, WM_GETTEXT, sizeof caption, LPARAM(caption));
            std::printf("%s\n", caption);
        } else if (step == "text") {
            char text[2048] = {};
            Send(program, GetDlgItem(program.dialog, 0xFFFF), WM_GETTEXT, sizeof text, LPARAM(text));
            std::printf("%s\n", text);
        } else if (step == "type" && i + 1 < argc) {
            const std::wstring text = WideArgument(++i);
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(NameBoxOf(program), WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_NORMAL, Deadline,
                                     &result))
                Fail(program, "the name box did not answer");
        } else if ((step == "chars" || step == "ime") && i + 1 < argc) {
            TypeText(program, WideArgument(++i), step == "chars" ? WM_CHAR : WM_IME_CHAR);
        } else if (step == "select-file") {
            HWND view = program.dialog ? FindWindowExA(program.dialog, nullptr, "SHELLDLL_DefView", nullptr) : nullptr;
            HWND files = view ? FindWindowExA(view, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
            if (!files)
                Fail(program, "no file list");
            Send(program, files, WM_KEYDOWN, VK_HOME, 0);
            char label[256] = {};
            Send(program, GetDlgItem(program.dialog, 0x4C02), WM_GETTEXT, sizeof label, LPARAM(label));
            std::printf("%s\n", label);
        } else if (step == "press" && i + 1 < argc) {
            const int id = std::atoi(argv[++i]);
            PostMessageA(program.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         LPARAM(GetDlgItem(program.dialog, id)));
        } else if (step == "ok" || step == "cancel" || step == "escape") {
            if (step == "escape")
                PostMessageA(program.dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            else
                PostMessageA(program.dialog, WM_COMMAND, MAKEWPARAM(step == "ok" ? IDOK : IDCANCEL, BN_CLICKED), 0);
            WaitFor(program, "the dialog stayed",
                    [&] { return !IsWindow(program.dialog) || !IsWindowVisible(program.dialog); });
            program.dialog = nullptr;
        } else if (step == "unanswered" && i + 1 < argc) {
            Unanswered(program, std::atoi(argv[++i]));
        } else if (step == "announced" && i + 1 < argc) {
            Announced(program, std::atoi(argv[++i]));
        } else if (step == "wallpaper") {
            char wallpaper[MAX_PATH * 2] = {};
            SystemParametersInfoA(SPI_GETDESKWALLPAPER, sizeof wallpaper, wallpaper, 0);
            std::printf("%s\n", wallpaper);
        } else if (step == "capture" && i + 1 < argc) {
            Capture(program, argv[++i]);
        } else if (step == "close") {
            PostMessageA(program.window, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(program.process.hProcess, Deadline) != WAIT_OBJECT_0)
                Fail(program, "the program did not end after WM_CLOSE");
            DWORD code = 0;
            GetExitCodeProcess(program.process.hProcess, &code);
            std::printf("%lu\n", code);
        } else {
            Fail(program, ("unknown step " + step).c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}
