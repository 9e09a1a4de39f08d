// Draws the program's own artwork: the About window's background picture (350 × 235 JPEG, no
// words), the window icon (16 and 32 pixels, PNG, plus a Windows .ico holding both), and the
// sample picture for trying the program.
// Usage: draw_artwork RESOURCES_FOLDER SAMPLES_FOLDER

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>
#include <cmath>
#include <cstdio>

namespace {

constexpr QSize kAboutSize(350, 235);

void drawIconGlyph(QPainter& p, int kind, const QRectF& box) {
    const QColor ink(60, 110, 190);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    const QPointF c = box.center();
    switch (kind) {
    case 0: // a chip
        p.drawRect(box.adjusted(6, 6, -6, -6));
        for (int i = 0; i < 3; ++i) {
            const qreal y = box.top() + 9 + i * 5;
            p.drawLine(QPointF(box.left() + 2, y), QPointF(box.left() + 6, y));
            p.drawLine(QPointF(box.right() - 6, y), QPointF(box.right() - 2, y));
        }
        break;
    case 1: // a small screen
        p.drawRect(box.adjusted(4, 5, -4, -9));
        p.drawLine(QPointF(c.x(), box.bottom() - 9), QPointF(c.x(), box.bottom() - 5));
        p.drawLine(QPointF(c.x() - 5, box.bottom() - 5), QPointF(c.x() + 5, box.bottom() - 5));
        break;
    case 2: // a pixel grid
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                p.fillRect(QRectF(box.left() + 6 + i * 6, box.top() + 6 + j * 6, 4, 4),
                           QColor::fromHsv((i * 3 + j) * 40, 150, 230));
            }
        }
        break;
    case 3: // a gear
        p.drawEllipse(c, 6, 6);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(c);
            p.rotate(i * 45);
            p.drawLine(QPointF(0, 6), QPointF(0, 9));
            p.restore();
        }
        break;
    default: { // a lightning bolt
        QPainterPath bolt;
        bolt.moveTo(c.x() + 2, box.top() + 4);
        bolt.lineTo(c.x() - 5, c.y() + 1);
        bolt.lineTo(c.x(), c.y() + 1);
        bolt.lineTo(c.x() - 2, box.bottom() - 4);
        bolt.lineTo(c.x() + 5, c.y() - 2);
        bolt.lineTo(c.x(), c.y() - 2);
        bolt.closeSubpath();
        p.setBrush(QColor(250, 200, 60));
        p.drawPath(bolt);
    }
    }
}

QImage drawAboutPicture() {
    QImage image(kAboutSize, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Pale blue at the top fading to white.
    QLinearGradient sky(0, 0, 0, kAboutSize.height());
    sky.setColorAt(0, QColor(205, 225, 246));
    sky.setColorAt(0.55, QColor(236, 244, 252));
    sky.setColorAt(1, QColor(255, 255, 255));
    p.fillRect(image.rect(), sky);

    // A faint globe behind the text area.
    const QPointF globe(262, 128);
    const qreal radius = 78;
    QRadialGradient glow(globe, radius);
    glow.setColorAt(0, QColor(190, 215, 245, 70));
    glow.setColorAt(1, QColor(190, 215, 245, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(globe, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 160, 215, 55), 1.2));
    p.drawEllipse(globe, radius, radius);
    for (int i = 1; i < 4; ++i) {
        p.drawEllipse(globe, radius * i / 4.0, radius); // meridians
        const qreal y = radius * i / 4.0;
        const qreal half = std::sqrt(radius * radius - y * y);
        p.drawLine(QPointF(globe.x() - half, globe.y() - y),
                   QPointF(globe.x() + half, globe.y() - y));
        p.drawLine(QPointF(globe.x() - half, globe.y() + y),
                   QPointF(globe.x() + half, globe.y() + y));
    }
    p.drawLine(QPointF(globe.x() - radius, globe.y()), QPointF(globe.x() + radius, globe.y()));

    // The yellow-green arc across the top.
    QLinearGradient arcColour(0, 0, kAboutSize.width(), 0);
    arcColour.setColorAt(0, QColor(214, 226, 60));
    arcColour.setColorAt(1, QColor(140, 200, 60));
    p.setPen(QPen(QBrush(arcColour), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(-120, 18, kAboutSize.width() + 240, 260), 25 * 16, 130 * 16);
    p.setPen(QPen(QColor(214, 226, 60, 110), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(-120, 31, kAboutSize.width() + 240, 260), 28 * 16, 124 * 16);

    // A column of five small icons at the left edge.
    for (int i = 0; i < 5; ++i) {
        const QRectF box(14, 48 + i * 34, 28, 28);
        p.setPen(QPen(QColor(150, 185, 230), 1));
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawRoundedRect(box, 6, 6);
        drawIconGlyph(p, i, box);
    }

    // A row of binary digits at the bottom right.
    QFont digits(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::Monospace);
    digits.setPixelSize(10);
    p.setFont(digits);
    p.setPen(QColor(120, 160, 215, 160));
    p.drawText(QRectF(150, 214, 192, 14), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("01110010 01100001 01110110"));
    return image;
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A window: title bar and a 4 × 3 pixel grid as the LCD.
    p.setPen(QPen(QColor(40, 70, 130), 1.5));
    p.setBrush(QColor(245, 248, 252));
    p.drawRoundedRect(QRectF(2, 3, 28, 26), 3, 3);
    p.fillRect(QRectF(2.75, 3.75, 26.5, 6), QColor(60, 110, 190));
    for (int x = 0; x < 4; ++x) {
        for (int y = 0; y < 3; ++y) {
            p.fillRect(QRectF(6 + x * 5.3, 13 + y * 4.8, 4.3, 3.8),
                       QColor::fromHsv((x * 3 + y) * 30, 170, 225));
        }
    }
    return image;
}

// A colourful test card, larger than the display: colour bars, a grey ramp, a hue sweep and a
// few shapes, so the 4-bit banding and the 98 × 67 crop both show.
QImage drawSample() {
    QImage image(160, 100, QImage::Format_RGB32);
    QPainter p(&image);
    const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                           Qt::magenta, Qt::red,    Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i) {
        p.fillRect(QRect(i * 20, 0, 20, 40), bars[i]);
    }
    for (int x = 0; x < image.width(); ++x) {
        const int grey = x * 255 / (image.width() - 1);
        p.fillRect(QRect(x, 40, 1, 15), QColor(grey, grey, grey));
        p.fillRect(QRect(x, 55, 1, 45), QColor::fromHsv(x * 359 / (image.width() - 1), 230, 250));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(255, 220, 0));
    p.drawEllipse(QPointF(30, 77), 14, 14);
    p.setBrush(QColor(30, 60, 200));
    p.drawRect(QRectF(60, 65, 26, 24));
    return image;
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A Windows icon file holding PNG-compressed images.
QByteArray icoFile(const QList<QImage>& images) {
    QByteArray ico;
    auto put16 = [&ico](quint16 v) {
        ico.append(char(v & 0xFF)).append(char(v >> 8));
    };
    auto put32 = [&](quint32 v) {
        put16(quint16(v & 0xFFFF));
        put16(quint16(v >> 16));
    };
    put16(0);
    put16(1); // icon
    put16(quint16(images.size()));
    QList<QByteArray> payloads;
    quint32 offset = 6 + 16 * quint32(images.size());
    for (const QImage& image : images) {
        payloads << png(image);
        ico.append(char(image.width())).append(char(image.height())).append('\0').append('\0');
        put16(1);  // planes
        put16(32); // bits per pixel
        put32(quint32(payloads.last().size()));
        put32(offset);
        offset += quint32(payloads.last().size());
    }
    for (const QByteArray& payload : payloads) {
        ico.append(payload);
    }
    return ico;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_artwork RESOURCES_FOLDER SAMPLES_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir samples(QString::fromLocal8Bit(argv[2]));
    const QImage icon16 = drawIcon(16);
    const QImage icon32 = drawIcon(32);
    const bool ok =
        drawAboutPicture().save(out.filePath(QStringLiteral("about.jpg")), "JPEG", 92) &&
        icon16.save(out.filePath(QStringLiteral("icon-16.png"))) &&
        icon32.save(out.filePath(QStringLiteral("icon-32.png"))) &&
        writeFile(out.filePath(QStringLiteral("ravik-lcd.ico")), icoFile({icon16, icon32})) &&
        drawSample().save(samples.filePath(QStringLiteral("test-card.png")));
    if (!ok) {
        std::fprintf(stderr, "could not write into %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
