#include "app/Application.h"

#include "app/ErrorReport.h"

namespace vorlane {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromStdString(ApplicationTitle()));
    setQuitOnLastWindowClosed(true);
}

TApplication::~TApplication() = default;

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
