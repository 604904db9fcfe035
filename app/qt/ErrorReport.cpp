#include "app/qt/ErrorReport.h"

#include <unistd.h>

#include <QMessageBox>
#include <QString>

namespace vorlane {
namespace {

ErrorPresenter& Presenter()
{
    static ErrorPresenter presenter;
    return presenter;
}

// Under the program's title, through the presenter when one is set, otherwise in a message box.
void Present(QMessageBox::Icon icon, const std::string& text)
{
    if (Presenter()) {
        Presenter()(ApplicationTitle(), text);
        return;
    }
    QMessageBox box(icon, QString::fromStdString(ApplicationTitle()), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

} // namespace

std::string ApplicationTitle()
{
    static const std::string title = [] {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        return ApplicationTitle(length > 0 ? std::string_view(buffer, static_cast<size_t>(length))
                                           : std::string_view("Vorlane16"));
    }();
    return title;
}

void SetErrorPresenter(ErrorPresenter presenter)
{
    Presenter() = std::move(presenter);
}

void ShowError(const std::string& text)
{
    Present(QMessageBox::Critical, text);
}

void ShowNotice(const std::string& text)
{
    Present(QMessageBox::Information, text);
}

void HandleCurrentException()
{
    ShowError(CurrentErrorBoxText());
}

} // namespace vorlane
