#pragma once

// 放大预览: the decoded frame enlarged by a whole factor, pixel for pixel, with an optional grid
// between the LCD's pixels and the pixel under the mouse named in the status bar (its x, y, the
// array index of its first byte and its three nibbles), so a firmware developer can find it in
// the array. The window never grows past the area it is given: beyond it, the picture scrolls.
// Dragging selects a rectangle of the frame, which can be copied as a C header or saved as a
// .bin of its own: a sprite or icon cut from the frame as shown.

#include "codec/frame_buffer.h"
#include "platform/services.h"

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
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

    // The selection's copy and save use the clipboard, the file dialog and the alerts given.
    explicit ZoomWindow(const Services& services, QWidget* parent = nullptr);

    // Where a frame pixel shows only the background, not the picture.
    static constexpr int kOnlyBackground = -1;

    // Shows a frame; `alpha` is the picture's alpha (0 to 255) at each of its pixels as
    // converted, or kOnlyBackground, and empty for a frame with no picture behind it, which is
    // opaque. A selection stays where it is. A selection with a pixel of the picture that is not
    // wholly opaque gets a mask, in which the background is not drawn.
    void showFrame(const FrameBuffer& frame, std::vector<int> alpha = {});
    // The file name (without folder and suffix) the selection's C name and .bin are made from;
    // empty for the neutral default.
    void setSourceName(const QString& baseName);
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

    // The selected rectangle in frame pixels; empty when nothing is selected.
    QRect selection() const { return selection_; }
    void setSelection(const QRect& selection);
    void clearSelection() { setSelection({}); }
    // The selection as the picture shows it, in the picture's coordinates; empty without one.
    QRect selectionOnPicture() const;
    // What the status bar says of the selection: its place, size and bytes.
    QString selectionText() const;
    // The selection's pixels packed as the panel takes them, row after row.
    std::vector<std::uint8_t> selectionBytes() const;
    // Whether some pixel of the selection is not wholly opaque, so a mask goes with it.
    bool selectionHasTransparency() const;
    // The selection's mask (one bit a pixel, 1 = drawn); empty when it has no transparency.
    std::vector<std::uint8_t> selectionMask() const;
    // The C name the selection's header declares.
    std::string selectionIdentifier() const;

    // The mouse on the picture, in its coordinates: a press starts a selection, moving with the
    // button held drags it out, and a release without a drag clears it.
    void pressAt(const QPoint& point);
    void dragTo(const QPoint& point);
    void releaseAt(const QPoint& point);

    // The selection as a C header: its pixels, with its mask when it has one.
    std::string selectionHeader() const;

    // "复制选区为 C 数组声明" and "选区另存为 bin 文件…".
    void copySelection();
    void saveSelection();
    // The canvas's context menu.
    void fillSelectionMenu(QMenu& menu);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void redraw();
    // The window's size for the whole picture, or as much of it as the area allows.
    void resizeToPicture();
    int pitch() const { return zoom_ + (grid_ ? 1 : 0); }
    // The frame pixel nearest a point of the picture, grid lines and the outside included.
    QPoint nearestPixel(const QPoint& point) const;
    void selectionChanged();

    FileDialog& dialog_;
    Clipboard& clipboard_;
    Alerts& alerts_;
    FrameBuffer frame_;
    std::vector<int> alpha_; // kPixelCount values, or empty: opaque
    QString sourceName_;
    QRect selection_;
    QPoint pressPoint_;     // where the button went down, in picture coordinates
    QPoint anchor_;         // the frame pixel the drag started from
    bool pressed_ = false;  // the left button is down on the picture
    bool dragging_ = false; // and the mouse has moved far enough to call it a drag
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
    QLabel* selectionLabel_ = nullptr;
    QAction* copySelectionAction_ = nullptr;
    QAction* saveSelectionAction_ = nullptr;
};

} // namespace ravik
