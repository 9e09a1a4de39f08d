#include "library_messages.h"

#include <QtGlobal>

namespace ravik {
namespace {

thread_local int silencedDepth = 0;
QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (silencedDepth > 0 && type != QtFatalMsg) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}

} // namespace

SilencedLibraryMessages::SilencedLibraryMessages() {
    // Installed once, on first use, in front of whatever handler was there.
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(filterMessage);
        return true;
    }();
    Q_UNUSED(installed);
    ++silencedDepth;
}

SilencedLibraryMessages::~SilencedLibraryMessages() {
    --silencedDepth;
}

} // namespace ravik
