#pragma once

#include <QIcon>

namespace ravik {

// The program's window icon, 16 and 32 pixels.
QIcon programIcon();

} // namespace ravik
