#include "app/ErrorText.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include "platform/Path.h"

namespace vorlane {
namespace {

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

std::string ErrorBoxText(const std::string& message)
{
    if (message.empty())
        return message;
    const std::string last = message.substr(LastCharacterStart(message));
    return last > "." ? message + "." : message;
}

std::string ErrorBoxText(const std::exception& error, const std::string& afterwards)
{
    std::string text = ErrorBoxText(error.what());
    if (!afterwards.empty())
        text += "\n\n" + afterwards;
    return text;
}

std::string CurrentErrorBoxText()
{
    try {
        throw;
    } catch (const std::exception& error) {
        return ErrorBoxText(error);
    } catch (...) {
        return ErrorBoxText(std::runtime_error("不明な例外"));
    }
}

std::string StartupErrorText(const std::exception& error)
{
    return "例外 " + ClassNameOf(error) + ": " + ErrorBoxText(error.what());
}

} // namespace vorlane
