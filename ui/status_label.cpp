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

int StatusLabel::linePitch() const {
    // Lines one em apart, as the classic 12-pixel Chinese UI fonts set them; most fonts' natural
    // line height adds leading that would leave room for one line only.
    return QFontInfo(font()).pixelSize();
}

int StatusLabel::lineCapacity() const {
    return qMax(1, contentsRect().height() / linePitch());
}

QStringList StatusLabel::wrap(const QString& text) const {
    const QFontMetrics metrics(font());
    const int width = contentsRect().width();
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size();) {
        // Keep surrogate pairs together.
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, length);
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
    return lines;
}

bool StatusLabel::fits(const QString& text) const {
    return wrap(text).size() <= lineCapacity();
}

QStringList StatusLabel::shownLines() const {
    const QString full = text();
    if (fits(full)) {
        return wrap(full);
    }
    // The longest middle-shortened form that still fits.
    qsizetype low = 0;
    qsizetype high = full.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (fits(keepEnds(full, mid))) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return wrap(keepEnds(full, low));
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QFontMetrics metrics(font());
    const int pitch = linePitch();
    // Place the first baseline so the tallest glyphs just clear the top edge.
    int baseline = area.top() + qMin(metrics.ascent(), pitch - 1);
    for (const QString& line : shownLines()) {
        painter.drawText(area.left(), baseline, line);
        baseline += pitch;
    }
}

} // namespace ravik
