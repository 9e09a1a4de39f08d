#pragma once

// Putting text on the system clipboard, behind a seam so tests can watch it or make it fail.

#include <QString>

namespace ravik {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Puts text on the clipboard as plain text; false when the clipboard did not take it.
    virtual bool SetText(const QString& text) = 0;
};

class SystemClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override;
};

} // namespace ravik
