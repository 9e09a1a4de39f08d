#include "file_dialog.h"

#include <QApplication>
#include <QFileDialog>

namespace ravik {

std::optional<QString> FileDialog::ShowOpen(const QString& startPath) {
    return choose(Mode::Open, startPath, nameFilters());
}

std::optional<QString> FileDialog::ShowSave(const QString& startPath) {
    return choose(Mode::Save, startPath, nameFilters());
}

QStringList FileDialog::nameFilters() const {
    QStringList filters;
    const QStringList parts = filter_.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << (description == parts[i + 1] || description.isEmpty()
                        ? patterns
                        : QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return filters;
}

std::optional<QString> QtFileDialog::choose(Mode mode, const QString& startPath,
                                            const QStringList& nameFilters) {
    QWidget* window = QApplication::activeWindow();
    const QString filter = nameFilters.join(QStringLiteral(";;"));
    const QString chosen =
        mode == Mode::Open
            ? QFileDialog::getOpenFileName(window, QStringLiteral(u"打开"), startPath, filter)
            : QFileDialog::getSaveFileName(window, QStringLiteral(u"另存为"), startPath, filter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

} // namespace ravik
