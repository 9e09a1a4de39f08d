#include "window_opacity.h"

#include <QGuiApplication>
#include <QWidget>

namespace ravik {

bool QtWindowOpacity::available() const {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("windows") || platform == QLatin1String("xcb") ||
           platform == QLatin1String("cocoa");
}

void QtWindowOpacity::set(QWidget& window, int alpha) {
    window.setWindowOpacity(qBound(0, alpha, 255) / 255.0);
    // On X11 Qt queues the property change and sends it with the next batch of requests, which
    // a window that only fades never causes; send it now so each step shows as it is made.
    if (QGuiApplication::platformName() == QLatin1String("xcb") && window.isVisible()) {
        QGuiApplication::sync();
    }
}

} // namespace ravik
