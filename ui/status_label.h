#pragma once

// The main window's status line: a label that wraps its text onto as many lines as its height
// holds, each line at least the font's own line spacing below the last and far enough that the
// ink of two lines never meets, so nothing below the baseline (an underscore, a descender) is
// drawn over by the next line or cut off. A text that needs more lines
// than the label's font allows is set a size or two smaller before it is shortened in the middle,
// so a long path keeps both its start and its file name. A line break in the text starts a new
// line.

#include <QFontMetrics>
#include <QLabel>

namespace ravik {

class StatusLabel : public QLabel {
    Q_OBJECT
public:
    // Chinese text stays legible down to this size; the label sets no text smaller.
    static constexpr int kSmallestPixelSize = 10;

    // How the text is set: in which font, as which lines, on which baselines (label coordinates).
    struct Layout {
        QFont font;
        QStringList lines;
        QList<int> baselines;
        int bottom = 0; // just below the last line's ink
    };

    using QLabel::QLabel;

    Layout shownLayout() const;
    // The lines the text is shown as, after wrapping and, where needed, shortening.
    QStringList shownLines() const;
    // Whether the whole text fits without shortening.
    bool fits(const QString& text) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QFont> candidateFonts() const;
    struct Ink {
        int above; // rows above the baseline
        int below; // rows from the baseline down
    };
    static Ink inkOf(const QFontMetrics& metrics, const QString& line);
    bool fitsInside(const Layout& layout) const;
    QStringList wrap(const QString& text, const QFont& font) const;
    Layout layoutOf(const QString& text, const QFont& font) const;
};

} // namespace ravik
