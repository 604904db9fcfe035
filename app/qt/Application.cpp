#include "app/qt/Application.h"

#include <cstdlib>

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <X11/Xlib.h>

#include "app/qt/ErrorReport.h"
#include "platform/EventLoop.h"

namespace vorlane {
namespace {

QtMessageHandler qtHandler = nullptr;
bool applicationStarting = false;

void FilterQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (type == QtFatalMsg && applicationStarting) {
        std::fprintf(stderr, "%s: no display could be opened for its window\n", ApplicationTitle().c_str());
        std::_Exit(1);
    }
    qtHandler(type, context, message);
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::optional<int> AnswerCommandLine(const std::vector<std::string>& arguments, std::FILE* out)
{
    const std::string title = ApplicationTitle();
    for (const std::string& argument : arguments) {
        if (argument == "--version") {
            std::fprintf(out, "%s %s\n", title.c_str(), VORLANE_VERSION);
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            std::fprintf(out,
                         "Usage: %s [--help | --version]\n"
                         "Keeps galleries of pictures (.gsk files) and makes the selected picture the desktop\n"
                         "wallpaper, centred or tiled. The window, in Japanese, opens on the X11 or Wayland\n"
                         "display; the program takes no other arguments.\n"
                         "\n"
                         "  --help     show this text and exit\n"
                         "  --version  show the version and exit\n"
                         "\n"
                         "Settings: $XDG_CONFIG_HOME/Vorlane.ini (~/.config/Vorlane.ini). Galleries and Temp.bmp:\n"
                         "the program's folder when it is writable, otherwise $XDG_DATA_HOME/vorlane/\n"
                         "(~/.local/share/vorlane/). See man %s and vorlane-gsk(1).\n",
                         title.c_str(), title.c_str());
            return 0;
        }
    }
    return std::nullopt;
}

std::string MissingDisplay()
{
    // A platform chosen by name (offscreen, wayland, ...) is Qt's to open; the filter catches its failure.
    if (!Environment("QT_QPA_PLATFORM").empty() || !Environment("WAYLAND_DISPLAY").empty())
        return {};
    const std::string display = Environment("DISPLAY");
    const std::string title = ApplicationTitle();
    if (display.empty())
        return title + ": no display to open its window on (DISPLAY is not set)";
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return title + ": cannot open the display \"" + display + "\"";
    XCloseDisplay(connection);
    return {};
}

bool InstallDialogTranslation(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QtMessageFilter::QtMessageFilter()
{
    applicationStarting = true;
    if (!qtHandler)
        qtHandler = qInstallMessageHandler(FilterQtMessage);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    applicationStarting = false;
    setApplicationName(QString::fromStdString(ApplicationTitle()));
    setQuitOnLastWindowClosed(true);
    InstallDialogTranslation(*this);
    // Timer ticks and socket notices report their errors the way commands do.
    SetExceptionHandler([](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            HandleCurrentException();
        }
    });
}

TApplication::~TApplication()
{
    SetExceptionHandler({});
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleCurrentException();
        return false;
    }
}

} // namespace vorlane
