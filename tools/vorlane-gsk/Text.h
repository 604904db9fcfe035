// Gallery texts are bytes in the system code page: UTF-8 here, Shift_JIS in galleries made on Windows.
// A terminal and a JSON reader both want UTF-8, so names are shown through the platform's one conversion.
#pragma once

#include "platform/CodePage.h"

namespace vorlane::gsk {

using codepage::DisplayText;
using codepage::IsValidUtf8;

} // namespace vorlane::gsk
