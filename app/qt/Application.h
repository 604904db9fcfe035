// The application object: a Qt application whose event delivery hands any exception that escapes an
// event handler to the central handler (an error box), after which the event loop goes on. Before it
// exists, the program answers --help and --version and makes sure there is a display to open windows on.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

namespace vorlane {

// "--help" and "--version" print their text to `out` and give the exit status 0; they need no display.
// Any other command line gives nullopt: the program starts and takes no arguments of its own.
std::optional<int> AnswerCommandLine(const std::vector<std::string>& arguments, std::FILE* out);

// Why no window can be opened, as one line for standard error; empty when a display is there. Checked
// before the application object exists, whose failure to reach a display ends the process with an abort.
std::string MissingDisplay();

// Every text of the program is Japanese, so the file dialogs and message boxes that Qt draws speak
// Japanese too, whatever the session's language; false when Qt's Japanese translation is not installed.
bool InstallDialogTranslation(QCoreApplication& application);

// Installed before the application object: drops Qt's notice that XDG_RUNTIME_DIR is unset (Qt then
// uses a private folder of its own, which is all this program needs), and while the application object
// starts, turns a fatal error (no usable display after all) into one line and the exit status 1.
class QtMessageFilter {
public:
    QtMessageFilter();
};

class TApplication : private QtMessageFilter, public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace vorlane
