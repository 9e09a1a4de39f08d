#pragma once

// A picture box: a 2-pixel sunken frame around a 98 × 67 surface that shows the button-face
// colour until a picture or pixels are put on it.

#include "platform/picture_surface.h"

#include <QFrame>

namespace ravik {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    static constexpr int kBorder = 2;

    explicit PictureBox(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
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
