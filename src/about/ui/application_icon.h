#pragma once

#include <QIcon>

namespace ringlark {

// The program's icon (16x16 and 32x32) from the compiled-in resources; a null icon when the
// resources are not linked in.
QIcon applicationIcon();

} // namespace ringlark
