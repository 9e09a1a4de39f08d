#include "color_dialog.h"

#include <QColorDialog>

namespace ravik {

std::optional<ColorValue> QtColorDialog::choose(ColorValue current, const QString& title,
                                                QWidget* parent) {
    const QColor chosen = QColorDialog::getColor(
        QColor(redOf(current), greenOf(current), blueOf(current)), parent, title);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return RGB(chosen.red(), chosen.green(), chosen.blue());
}

} // namespace ravik
