#include "app/command_line.h"
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
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

void identify() {
    QCoreApplication::setApplicationName(QStringLiteral(RAVIK_PRODUCT_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAVIK_VERSION));
}

#ifdef Q_OS_WIN
// A GUI-subsystem program has no console of its own; use the one it was started from.
void attachToParentConsole() {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}
#endif

int runConvertMode(int argc, char* argv[]) {
#ifdef Q_OS_WIN
    attachToParentConsole();
#endif
    QCoreApplication app(argc, argv); // no GUI: works with no display at all
    identify();
    return ravik::runConvert(QCoreApplication::arguments().mid(2));
}

// Qt would abort with an English message; say it in a sentence instead.
bool displayMissing() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

int runWindowMode(int argc, char* argv[]) {
    // Help, version and mistakes are answered before any window system is needed.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    const ravik::WindowArguments early = ravik::parseWindowArguments(rawArguments);
    if (!early.error.isEmpty()) {
        std::fputs(qPrintable(QStringLiteral(u"ravik-lcd: 命令行有误：%1（用 --help 查看用法）\n")
                                  .arg(early.error)),
                   stderr);
        return ravik::kExitUsage;
    }
    if (early.help) {
        return ravik::printToStandardOutput(ravik::helpText());
    }
    if (early.version) {
        return ravik::printToStandardOutput(ravik::versionText() + u'\n');
    }
    if (displayMissing()) {
        std::fputs(qPrintable(QStringLiteral(u"ravik-lcd: 没有可用的图形显示（DISPLAY 与 "
                                             u"WAYLAND_DISPLAY 均未设置），无法打开窗口；"
                                             u"不需要窗口时请用 ravik-lcd convert。\n")),
                   stderr);
        return ravik::kExitFailure;
    }

    QApplication app(argc, argv);
    identify();
    QApplication::setWindowIcon(ravik::programIcon());
    // The interface is Chinese whatever the system's language: Qt's own dialogs and buttons too.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslations);
    }
    // The arguments again, now as the application decodes them (Unicode paths on Windows).
    const QString picture = ravik::parseWindowArguments(QCoreApplication::arguments()).picture;

    ravik::QtFileDialog commonDialog;
    ravik::MessageBoxAlerts alerts;
    ravik::SystemClipboard clipboard;
    ravik::QtWindowOpacity opacity;
    ravik::QtColorDialog colorDialog;
    ravik::Form1 form({commonDialog, alerts, clipboard, opacity, colorDialog});
    form.show();
    if (!picture.isEmpty()) {
        // Once the window is up, so a warning about the picture has a window to sit over.
        QTimer::singleShot(0, &form, [&form, picture] { form.openFile(picture); });
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) {
        return runConvertMode(argc, argv);
    }
    return runWindowMode(argc, argv);
}
