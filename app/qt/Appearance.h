// The look both windows share.
#pragma once

#include <QFont>

namespace vorlane {

// The layout's font (app/MainWindowLayout.h) where it is installed, otherwise the first Japanese
// sans-serif found (IPA P Gothic from fonts-ipafont-gothic on Debian).
QFont WindowFont();

} // namespace vorlane
