// The look both windows share.
#pragma once

#include <QFont>

namespace vorlane {

// "ＭＳ Ｐゴシック" at 12 pixels where it is installed, otherwise the first Japanese sans-serif found
// (IPA P Gothic from fonts-ipafont-gothic on Debian).
QFont WindowFont();

} // namespace vorlane
