#pragma once

// Choosing a colour, behind a seam so tests can script the answer instead of blocking on a
// modal dialog.

#include "codec/frame_buffer.h"

#include <QString>
#include <optional>

class QWidget;

namespace ravik {

class ColorDialog {
public:
    virtual ~ColorDialog() = default;
    // The colour the user chose, starting from current; nothing when they cancelled.
    virtual std::optional<ColorValue> choose(ColorValue current, const QString& title,
                                             QWidget* parent) = 0;
};

// Qt's own colour dialog, modal over parent.
class QtColorDialog final : public ColorDialog {
public:
    std::optional<ColorValue> choose(ColorValue current, const QString& title,
                                     QWidget* parent) override;
};

} // namespace ravik
