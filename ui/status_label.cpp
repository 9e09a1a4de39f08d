#include "status_label.h"

#include <QFontInfo>
#include <QPainter>

namespace ravik {
namespace {

const QString kEllipsis = QStringLiteral(u"…");

// The text with its middle replaced by an ellipsis, keeping `kept` characters in all, a little
// more of them from the end, where a path has its file name.
QString keepEnds(const QString& text, qsizetype kept) {
    const qsizetype head = kept * 2 / 5;
    return text.left(head) + kEllipsis + text.right(kept - head);
}

} // namespace

// The label's own font first, then one pixel smaller at a time down to the smallest legible size.
QList<QFont> StatusLabel::candidateFonts() const {
    QList<QFont> fonts{font()};
    for (int size = QFontInfo(font()).pixelSize() - 1; size >= kSmallestPixelSize; --size) {
        QFont smaller = font();
        smaller.setPixelSize(size);
        fonts << smaller;
    }
    return fonts;
}

// How far a line's ink reaches above and below its baseline. Chinese glyphs come from a
// fallback font that reaches higher than the label font's own ascent says, so the lines are
// spaced by what they draw: a glyph drawn over the line above would wipe out its underscores.
StatusLabel::Ink StatusLabel::inkOf(const QFontMetrics& metrics, const QString& line) {
    const QRect ink = metrics.tightBoundingRect(line);
    return {qMax(metrics.ascent(), -ink.top()), qMax(metrics.descent(), ink.bottom() + 1)};
}

QStringList StatusLabel::wrap(const QString& text, const QFont& font) const {
    const QFontMetrics metrics(font);
    const int width = contentsRect().width();
    QStringList lines;
    for (const QString& paragraph : text.split(u'\n')) {
        QString line;
        for (qsizetype i = 0; i < paragraph.size();) {
            // Keep surrogate pairs together.
            const qsizetype length =
                paragraph.at(i).isHighSurrogate() && i + 1 < paragraph.size() ? 2 : 1;
            const QString piece = paragraph.mid(i, length);
            if (!line.isEmpty() && metrics.horizontalAdvance(line + piece) > width) {
                lines << line;
                line.clear();
            }
            line += piece;
            i += length;
        }
        if (!line.isEmpty()) {
            lines << line;
        }
    }
    return lines;
}

bool StatusLabel::fits(const QString& text) const {
    for (const QFont& font : candidateFonts()) {
        if (fitsInside(layoutOf(text, font))) {
            return true;
        }
    }
    return false;
}

// Each line at least the font's line spacing below the last, and further where the ink of the
// two would otherwise meet.
StatusLabel::Layout StatusLabel::layoutOf(const QString& text, const QFont& font) const {
    const QFontMetrics metrics(font);
    Layout layout{font, wrap(text, font), {}};
    int baseline = contentsRect().top();
    Ink previous{0, 0};
    for (qsizetype i = 0; i < layout.lines.size(); ++i) {
        const Ink ink = inkOf(metrics, layout.lines.at(i));
        baseline += i == 0 ? ink.above : qMax(metrics.lineSpacing(), previous.below + ink.above);
        layout.baselines << baseline;
        previous = ink;
    }
    layout.bottom = baseline + previous.below;
    return layout;
}

// One line always fits, however small the label.
bool StatusLabel::fitsInside(const Layout& layout) const {
    return layout.lines.size() <= 1 || layout.bottom <= contentsRect().bottom() + 1;
}

StatusLabel::Layout StatusLabel::shownLayout() const {
    const QString full = text();
    const QList<QFont> fonts = candidateFonts();
    for (const QFont& font : fonts) {
        if (const Layout layout = layoutOf(full, font); fitsInside(layout)) {
            return layout;
        }
    }
    // Too long at every size: the smallest size, which shows the most, with the middle cut out.
    const QFont& smallest = fonts.constLast();
    qsizetype low = 0;
    qsizetype high = full.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (fitsInside(layoutOf(keepEnds(full, mid), smallest))) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return layoutOf(keepEnds(full, low), smallest);
}

QStringList StatusLabel::shownLines() const {
    return shownLayout().lines;
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const Layout layout = shownLayout();
    painter.setFont(layout.font);
    for (qsizetype i = 0; i < layout.lines.size(); ++i) {
        painter.drawText(contentsRect().left(), layout.baselines.at(i), layout.lines.at(i));
    }
}

} // namespace ravik
