#include "program_icon.h"

namespace ravik {

QIcon programIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/ravik/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/ravik/icon-32.png"), QSize(32, 32));
    return icon;
}

} // namespace ravik
