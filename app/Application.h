// The application object: a Qt application whose event delivery hands any exception that escapes an
// event handler to the central handler (an error box), after which the event loop goes on.
#pragma once

#include <QApplication>

namespace vorlane {

// Every text of the program is Japanese, so the file dialogs and message boxes that Qt draws speak
// Japanese too, whatever the session's language; false when Qt's Japanese translation is not installed.
bool InstallDialogTranslation(QCoreApplication& application);

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace vorlane
