#pragma once

#include <QIcon>

namespace tarvix {

// The program's icon, drawn rather than loaded, in the sizes the desktop asks for.
QIcon AppIcon();

}  // namespace tarvix
