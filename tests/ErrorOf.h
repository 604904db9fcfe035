// Test support: the message of the system's exception a call raises, for comparing it with the text the
// user must see.
#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace vorlane::test {

// The message of the `E` that `action` raises, or "(no error)" when it raises nothing; any other
// exception passes through.
template <class E = Exception, class Action>
std::string ErrorOf(Action&& action)
{
    try {
        action();
    } catch (const E& error) {
        return error.Message();
    }
    return "(no error)";
}

} // namespace vorlane::test
