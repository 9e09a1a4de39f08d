#pragma once

// The system clipboard behind a seam, so tests can watch it, fill it or make it fail.

#include <QImage>
#include <QString>

namespace ravik {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Puts text on the clipboard as plain text; false when the clipboard did not take it.
    virtual bool SetText(const QString& text) = 0;
    // The picture on the clipboard; null when it holds none.
    virtual QImage GetImage() const = 0;
    // The plain text on the clipboard; empty when it holds none.
    virtual QString GetText() const = 0;
};

class SystemClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override;
    QImage GetImage() const override;
    QString GetText() const override;
};

} // namespace ravik
