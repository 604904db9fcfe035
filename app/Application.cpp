#include "app/Application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/ErrorReport.h"
#include "platform/EventLoop.h"

namespace vorlane {

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

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
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
