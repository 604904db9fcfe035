// Private to the platform layer: the rules that Rules::Native stands for on this platform, defined
// beside its folder code (the Windows rules on Windows).
#pragma once

#include "platform/Path.h"

namespace vorlane::path::detail {

extern const Rules NativeRules;

} // namespace vorlane::path::detail
