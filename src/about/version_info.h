#pragma once

#include <QString>

namespace ringlark {

// The program's name and version, fixed at build time.
QString applicationTitle();

// "ﾊﾞｰｼﾞｮﾝ " and major.minor.revision, as the About box shows it.
QString versionText();

} // namespace ringlark
