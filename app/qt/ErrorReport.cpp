#include "app/qt/ErrorReport.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "platform/Path.h"

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
        const std::string executable = path::ExecutablePath();
        return ApplicationTitle(executable.empty() ? std::string_view("Vorlane16") : std::string_view(executable));
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

LockWait AskWhileBusy(const std::string& text)
{
    if (Presenter()) {
        Presenter()(ApplicationTitle(), text);
        return LockWait::GiveUp;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(ApplicationTitle()), QString::fromStdString(text));
    QPushButton* giveUp = box.addButton(QStringLiteral("中止"), QMessageBox::RejectRole);
    QPushButton* again = box.addButton(QStringLiteral("再試行"), QMessageBox::AcceptRole);
    QPushButton* goOn = box.addButton(QStringLiteral("無視"), QMessageBox::DestructiveRole);
    box.setDefaultButton(again);
    box.setEscapeButton(giveUp);
    box.exec();
    if (box.clickedButton() == again)
        return LockWait::Again;
    return box.clickedButton() == goOn ? LockWait::GoOn : LockWait::GiveUp;
}

void HandleCurrentException()
{
    ShowError(CurrentErrorBoxText());
}

} // namespace vorlane
