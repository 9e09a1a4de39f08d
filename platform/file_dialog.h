#pragma once

// The one open/save dialog object of the main window. Its FileName and Filter persist between
// uses, as with a common dialog control; what is shown is left to a subclass, so tests can
// answer the dialog without a modal window.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace ravik {

class FileDialog : public QObject {
    Q_OBJECT
public:
    enum class Mode { Open, Save };

    using QObject::QObject;

    QString FileName() const { return fileName_; }
    void setFileName(const QString& fileName) { fileName_ = fileName; }

    // Description and pattern pairs separated by vertical bars, e.g. "*.bin|*.bin" or
    // "图片文件|*.png;*.jpg|所有文件|*".
    QString Filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }

    // Show the dialog, proposing startPath (a folder or a file). Gives the chosen path, or
    // nothing when the user cancelled. FileName is not changed: the caller keeps the name once
    // it has used it.
    std::optional<QString> ShowOpen(const QString& startPath);
    std::optional<QString> ShowSave(const QString& startPath);

    // The Filter as the name filters a Qt dialog shows: "描述 (*.a *.b)", or the bare pattern
    // where the description is the pattern itself.
    QStringList nameFilters() const;

protected:
    virtual std::optional<QString> choose(Mode mode, const QString& startPath,
                                          const QStringList& nameFilters) = 0;

private:
    QString fileName_;
    QString filter_;
};

// The Qt dialog as the program shows it, not yet shown: the system's own dialog where the platform
// has one; otherwise Qt's, sized for its columns, with sizes, kinds and dates in Chinese
// ("BIN 文件", "2026/12/7 15:00") whatever the system's language.
std::unique_ptr<QFileDialog> makeFileDialog(FileDialog::Mode mode, QWidget* parent,
                                            const QString& startPath,
                                            const QStringList& nameFilters);

// The real thing: a modal QFileDialog over the active window.
class QtFileDialog final : public FileDialog {
    Q_OBJECT
public:
    using FileDialog::FileDialog;

protected:
    std::optional<QString> choose(Mode mode, const QString& startPath,
                                  const QStringList& nameFilters) override;
};

} // namespace ravik
