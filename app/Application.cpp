#include "app/Application.h"

#include "app/ErrorReport.h"
#include "platform/EventLoop.h"

namespace vorlane {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromStdString(ApplicationTitle()));
    setQuitOnLastWindowClosed(true);
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
