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

// As many lines as lie wholly inside the label, from the first line's ascent to the last one's
// descent; always one, however small the label.
int StatusLabel::lineCapacity(const QFont& font) const {
    const QFontMetrics metrics(font);
    const int spare = contentsRect().height() - metrics.ascent() - metrics.descent();
    return 1 + qMax(0, spare / metrics.lineSpacing());
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
        if (wrap(text, font).size() <= lineCapacity(font)) {
            return true;
        }
    }
    return false;
}

StatusLabel::Layout StatusLabel::layoutOf(const QString& text, const QFont& font) const {
    const QFontMetrics metrics(font);
    Layout layout{font, wrap(text, font), {}};
    int baseline = contentsRect().top() + metrics.ascent();
    for (qsizetype i = 0; i < layout.lines.size(); ++i) {
        layout.baselines << baseline;
        baseline += metrics.lineSpacing();
    }
    return layout;
}

StatusLabel::Layout StatusLabel::shownLayout() const {
    const QString full = text();
    const QList<QFont> fonts = candidateFonts();
    for (const QFont& font : fonts) {
        if (wrap(full, font).size() <= lineCapacity(font)) {
            return layoutOf(full, font);
        }
    }
    // Too long at every size: the smallest size, which shows the most, with the middle cut out.
    const QFont& smallest = fonts.constLast();
    const int capacity = lineCapacity(smallest);
    qsizetype low = 0;
    qsizetype high = full.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (wrap(keepEnds(full, mid), smallest).size() <= capacity) {
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
