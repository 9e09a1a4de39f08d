#pragma once

// Warning boxes, behind a seam so tests can record them instead of blocking on a modal box.

#include <QString>

namespace ravik {

class Alerts {
public:
    virtual ~Alerts() = default;
    virtual void warn(const QString& title, const QString& text) = 0;
};

// A modal warning box over the active window.
class MessageBoxAlerts final : public Alerts {
public:
    void warn(const QString& title, const QString& text) override;
};

} // namespace ravik
