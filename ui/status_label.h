#pragma once

// The main window's status line: a label that wraps its text onto as many lines as its height
// holds, with lines set as tightly as the font allows (Chinese text needs two lines in the
// designed 25-pixel height), and shortens an over-long text in the middle, so a long path keeps
// both its start and its file name.

#include <QLabel>

namespace ravik {

class StatusLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The lines the text is shown as, after wrapping and, where needed, shortening.
    QStringList shownLines() const;
    // Whether the whole text fits without shortening.
    bool fits(const QString& text) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int linePitch() const;
    int lineCapacity() const;
    QStringList wrap(const QString& text) const;
};

} // namespace ravik
