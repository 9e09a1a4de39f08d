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

QImage SystemClipboard::GetImage() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard == nullptr ? QImage() : clipboard->image(QClipboard::Clipboard);
}

QString SystemClipboard::GetText() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard == nullptr ? QString() : clipboard->text(QClipboard::Clipboard);
}

} // namespace ravik
