#include "file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QScreen>
#include <QTreeView>

namespace ravik {
namespace {

// The columns of Qt's dialog as its file system model has them.
enum Column { kName, kSize, kKind, kDate };

const QLocale kChinese(QLocale::Chinese, QLocale::China);

// Qt's dialog words a file's size, kind and date in the system's language, and names a kind
// from the MIME database, which calls any .bin a MATLAB file: each is said here in Chinese, the
// kind from the suffix ("BIN 文件"), as the system's file manager does.
class ChineseDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr || index.column() == kName) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex source = mapToSource(index);
        const QFileInfo info = files->fileInfo(source);
        switch (index.column()) {
        case kSize:
            return info.isDir() ? QString() : kChinese.formattedDataSize(info.size());
        case kKind:
            if (info.isDir()) {
                return QStringLiteral(u"文件夹");
            }
            return info.suffix().isEmpty() ? QStringLiteral(u"文件")
                                           : info.suffix().toUpper() + QStringLiteral(u" 文件");
        case kDate:
            return kChinese.toString(info.lastModified(), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            switch (section) {
            case kName:
                return QStringLiteral(u"名称");
            case kSize:
                return QStringLiteral(u"大小");
            case kKind:
                return QStringLiteral(u"类型");
            case kDate:
                return QStringLiteral(u"修改日期");
            default:
                break;
            }
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

// Wide enough for its columns, as far as the screen allows.
QSize dialogSize(const QWidget& dialog) {
    QSize size(900, 560);
    if (const QScreen* screen = dialog.screen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    return size;
}

// Each detail column wide enough for its longest usual text; the name takes the rest.
void sizeColumns(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (view == nullptr) {
        return;
    }
    const QFontMetrics metrics = view->fontMetrics();
    const int padding = 3 * metrics.averageCharWidth();
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kName, QHeaderView::Stretch);
    const QString widest[] = {
        {},
        kChinese.formattedDataSize(1023LL * 1024 * 1024 + 1),
        QStringLiteral(u"JPEG 文件夹"),
        kChinese.toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58)), QLocale::ShortFormat)};
    for (const int column : {kSize, kKind, kDate}) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, metrics.horizontalAdvance(widest[column]) + padding);
    }
}

} // namespace

std::unique_ptr<QFileDialog> makeFileDialog(FileDialog::Mode mode, QWidget* parent,
                                            const QString& startPath,
                                            const QStringList& nameFilters) {
    const bool open = mode == FileDialog::Mode::Open;
    auto dialog = std::make_unique<QFileDialog>(
        parent, open ? QStringLiteral(u"打开") : QStringLiteral(u"另存为"), startPath,
        nameFilters.join(QStringLiteral(";;")));
    dialog->setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog->setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setLocale(kChinese);
    dialog->setProxyModel(new ChineseDetails(dialog.get()));
    dialog->setViewMode(QFileDialog::Detail);
    sizeColumns(*dialog);
    dialog->resize(dialogSize(*dialog));
    return dialog;
}

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
    const auto dialog = makeFileDialog(mode, QApplication::activeWindow(), startPath, nameFilters);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog->selectedFiles().constFirst();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

} // namespace ravik
