#pragma once

// A picture box: a 2-pixel sunken frame around a 98 × 67 surface that shows the conversion's
// default background (Windows' button face, F0F0F0, on every desktop) until pixels are put on it.

#include "platform/picture_surface.h"

#include <QFrame>

namespace ravik {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    static constexpr int kBorder = 2;

    explicit PictureBox(QWidget* parent = nullptr);

    // Shows the box's colours as the conversion placed the picture in it.
    void setPixels(const FramePixels& pixels);
    ColorValue Point(int x, int y) const { return surface_.Point(x, y); }
    // Draws the frame as the display shows it.
    void showFrame(const FrameBuffer& frame);

    const PictureSurface& surface() const { return surface_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PictureSurface surface_;
};

} // namespace ravik
