#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/file_dialog.h"
#include "platform/window_opacity.h"
#include "ui/form1.h"
#include "ui/program_icon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravik_LCD"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setWindowIcon(ravik::programIcon());

    ravik::QtFileDialog commonDialog;
    ravik::MessageBoxAlerts alerts;
    ravik::SystemClipboard clipboard;
    ravik::QtWindowOpacity opacity;
    ravik::Form1 form({commonDialog, alerts, clipboard, opacity});
    form.show();
    return QApplication::exec();
}
