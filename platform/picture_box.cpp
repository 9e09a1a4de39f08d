#include "picture_box.h"

#include <QPainter>

namespace ravik {

PictureBox::PictureBox(QWidget* parent)
    : QFrame(parent), surface_(QColor(redOf(kDefaultBackground), greenOf(kDefaultBackground),
                                      blueOf(kDefaultBackground))) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(kFrameWidth + 2 * kBorder, kFrameHeight + 2 * kBorder);
}

void PictureBox::setPixels(const FramePixels& pixels) {
    surface_.setPixels(pixels);
    update();
}

void PictureBox::showFrame(const FrameBuffer& frame) {
    ravik::drawFrame(frame, surface_);
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), surface_.image());
}

} // namespace ravik
