// The window module: `ravik-lcd [PICTURE]` once the program has answered --help, --version and
// usage mistakes and checked that there is a display. The only part of ravik-lcd that links Qt
// Widgets.

#include "app/command_line.h"
#include "app/modules.h"
#include "app/version.h"
#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/window_opacity.h"
#include "ui/form1.h"
#include "ui/program_icon.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

namespace ravik {
namespace {

int runWindow(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(RAVIK_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(RAVIK_VERSION));
    QApplication::setWindowIcon(programIcon());
    // The interface is Chinese whatever the system's language: Qt's own dialogs and buttons too.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslations);
    }
    // The arguments again, now as the application decodes them (Unicode paths on Windows).
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
    const QString picture = QString::fromStdString(parseWindowArguments(arguments).picture);

    QtFileDialog commonDialog;
    MessageBoxAlerts alerts;
    SystemClipboard clipboard;
    QtWindowOpacity opacity;
    QtColorDialog colorDialog;
    Form1 form({commonDialog, alerts, clipboard, opacity, colorDialog});
    form.show();
    if (!picture.isEmpty()) {
        // Once the window is up, so a warning about the picture has a window to sit over.
        QTimer::singleShot(0, &form, [&form, picture] { form.openFile(picture); });
    }
    return QApplication::exec();
}

constexpr WindowModule kModule{kModuleInterface, runWindow};

} // namespace
} // namespace ravik

RAVIK_MODULE_EXPORT const ravik::WindowModule* ravik_window_module() {
    return &ravik::kModule;
}
