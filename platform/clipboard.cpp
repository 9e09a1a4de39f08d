#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ravik {

bool SystemClipboard::SetText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(text, QClipboard::Clipboard);
    // Reading back tells whether the window system accepted the text.
    return clipboard->text(QClipboard::Clipboard) == text;
}

} // namespace ravik
