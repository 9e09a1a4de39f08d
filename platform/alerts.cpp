#include "alerts.h"

#include <QApplication>
#include <QMessageBox>

namespace ravik {

void MessageBoxAlerts::warn(const QString& title, const QString& text) {
    QMessageBox::warning(QApplication::activeWindow(), title, text);
}

} // namespace ravik
