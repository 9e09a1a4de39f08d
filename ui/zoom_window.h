#pragma once

// 放大预览: the decoded frame enlarged by a whole factor, pixel for pixel, with an optional grid
// between the LCD's pixels and the pixel under the mouse named in the status bar (its x, y, the
// array index of its first byte and its three nibbles), so a firmware developer can find it in
// the array. The window never grows past the area it is given: beyond it, the picture scrolls.

#include "codec/frame_buffer.h"

#include <QImage>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QStatusBar;

namespace ravik {

class ZoomWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinZoom = 2;
    static constexpr int kMaxZoom = 12;

    // How a nibble n is shown: as the preview draws it (n × 16) or as bright as the panel (n × 17).
    enum class Levels { Preview, Panel };

    explicit ZoomWindow(QWidget* parent = nullptr);

    void showFrame(const FrameBuffer& frame);
    void setZoom(int zoom);
    int zoom() const { return zoom_; }
    // The grid goes between the squares; the zoom stays as it is.
    void setGrid(bool grid);
    bool grid() const { return grid_; }
    void setLevels(Levels levels);
    // The largest zoom at which the whole picture shows in a window that fits into an area of
    // that size.
    int largestZoomWithin(const QSize& available) const;
    // Zooms as far as the whole picture shows in the area, and from then on keeps the window
    // within it, whatever the zoom.
    void fitInto(const QSize& available);

    // The enlarged frame as drawn.
    const QImage& picture() const { return picture_; }
    // The frame pixel at a point of the picture; (-1, -1) on a grid line or outside.
    QPoint framePixelAt(const QPoint& point) const;
    // Names the pixel at a point of the picture in the status bar.
    void describePixelAt(const QPoint& point);
    QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void redraw();
    // The window's size for the whole picture, or as much of it as the area allows.
    void resizeToPicture();
    int pitch() const { return zoom_ + (grid_ ? 1 : 0); }

    FrameBuffer frame_;
    int zoom_ = 4;
    bool grid_ = false;
    Levels levels_ = Levels::Preview;
    QSize available_;
    QImage picture_;

    QLabel* canvas_ = nullptr;
    QScrollArea* view_ = nullptr;
    QSpinBox* zoomBox_ = nullptr;
    QCheckBox* gridBox_ = nullptr;
    QComboBox* levelsBox_ = nullptr;
    QStatusBar* status_ = nullptr;
};

} // namespace ravik
