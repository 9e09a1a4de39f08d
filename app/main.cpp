#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/file_dialog.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravik_LCD"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    ravik::QtFileDialog commonDialog;
    ravik::MessageBoxAlerts alerts;
    ravik::SystemClipboard clipboard;
    ravik::Form1 form(commonDialog, alerts, clipboard);
    form.show();
    return QApplication::exec();
}
