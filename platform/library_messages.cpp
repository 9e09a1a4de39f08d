#include "library_messages.h"

#include <QtGlobal>
#include <atomic>

namespace ravik {
namespace {

thread_local int silencedDepth = 0;
// Set once, while other threads may already be printing through filterMessage.
std::atomic<QtMessageHandler> previousHandler{nullptr};

void filterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (silencedDepth > 0 && type != QtFatalMsg) {
        return;
    }
    if (const QtMessageHandler previous = previousHandler.load()) {
        previous(type, context, message);
    }
}

} // namespace

SilencedLibraryMessages::SilencedLibraryMessages() {
    // Installed once, on first use, in front of whatever handler was there.
    static const bool installed = [] {
        previousHandler.store(qInstallMessageHandler(filterMessage));
        return true;
    }();
    Q_UNUSED(installed);
    ++silencedDepth;
}

SilencedLibraryMessages::~SilencedLibraryMessages() {
    --silencedDepth;
}

} // namespace ravik
