#include "app/ErrorReport.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <unistd.h>

#include <QMessageBox>
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

// The start of the last character of a UTF-8 text.
size_t LastCharacterStart(const std::string& text)
{
    size_t at = text.size() - 1;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

std::string ClassNameOf(const std::exception& error)
{
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    std::string name = status == 0 && demangled ? demangled.get() : mangled;
    if (const size_t colon = name.rfind("::"); colon != std::string::npos)
        name.erase(0, colon + 2);
    return name;
}

} // namespace

std::string ApplicationTitle(std::string_view executablePath)
{
    std::string title = path::ExtractFileName(executablePath);
    title = title.substr(0, title.find('.'));
    if (!title.empty())
        title = title.front() + path::AsciiLowerCase(std::string_view(title).substr(1));
    return title;
}

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

std::string ErrorBoxText(const std::string& message)
{
    if (message.empty())
        return message;
    const std::string last = message.substr(LastCharacterStart(message));
    return last > "." ? message + "." : message;
}

void SetErrorPresenter(ErrorPresenter presenter)
{
    Presenter() = std::move(presenter);
}

void ShowException(const std::exception& error, const std::string& afterwards)
{
    std::string text = ErrorBoxText(error.what());
    if (!afterwards.empty())
        text += "\n\n" + afterwards;
    Present(QMessageBox::Critical, text);
}

void ShowNotice(const std::string& text)
{
    Present(QMessageBox::Information, text);
}

void HandleCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::runtime_error("不明な例外"));
    }
}

std::string StartupErrorText(const std::exception& error)
{
    return "例外 " + ClassNameOf(error) + ": " + ErrorBoxText(error.what());
}

} // namespace vorlane
