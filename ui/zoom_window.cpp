#include "zoom_window.h"

#include "codec/conversion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace ravik {
namespace {

constexpr QRgb kGridColor = qRgb(0x60, 0x60, 0x60);

// The canvas reports the mouse in its own coordinates, which are the picture's.
class Canvas final : public QLabel {
public:
    explicit Canvas(ZoomWindow& window) : window_(window) {
        setMouseTracking(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        window_.describePixelAt(event->position().toPoint());
        QLabel::mouseMoveEvent(event);
    }

private:
    ZoomWindow& window_;
};

// A scroll area that asks for room for the whole picture; the window decides how much it gets.
class PictureView final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() == nullptr ? QScrollArea::sizeHint()
                                   : widget()->size() + QSize(frame, frame);
    }
};

} // namespace

ZoomWindow::ZoomWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("ZoomWindow"));
    setWindowTitle(QStringLiteral(u"放大预览"));

    auto* zoomLabel = new QLabel(QStringLiteral(u"放大"), this);
    zoomBox_ = new QSpinBox(this);
    zoomBox_->setObjectName(QStringLiteral("zoomBox"));
    zoomBox_->setRange(kMinZoom, kMaxZoom);
    zoomBox_->setValue(zoom_);
    zoomBox_->setSuffix(QStringLiteral(u" 倍"));
    zoomBox_->setToolTip(QStringLiteral(u"Ctrl+滚轮、Ctrl+加号/减号也可缩放"));
    zoomLabel->setBuddy(zoomBox_);
    gridBox_ = new QCheckBox(QStringLiteral(u"像素网格"), this);
    levelsBox_ = new QComboBox(this);
    levelsBox_->addItem(QStringLiteral(u"预览颜色（n × 16）"));
    levelsBox_->addItem(QStringLiteral(u"液晶屏亮度（n × 17）"));
    levelsBox_->setToolTip(QStringLiteral(u"每个 4 位分量 n 的显示方式"));
    auto* tools = new QHBoxLayout;
    tools->addWidget(zoomLabel);
    tools->addWidget(zoomBox_);
    tools->addWidget(gridBox_);
    tools->addWidget(levelsBox_);
    tools->addStretch();

    canvas_ = new Canvas(*this);
    view_ = new PictureView(this);
    view_->setWidget(canvas_);
    view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_ = new QStatusBar(this);
    status_->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);

    connect(zoomBox_, &QSpinBox::valueChanged, this, &ZoomWindow::setZoom);
    connect(gridBox_, &QCheckBox::toggled, this, &ZoomWindow::setGrid);
    connect(levelsBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setLevels(index == 1 ? Levels::Panel : Levels::Preview); });
    for (const QKeySequence& in :
         {QKeySequence(QKeySequence::ZoomIn), QKeySequence(QStringLiteral("Ctrl+="))}) {
        connect(new QShortcut(in, this), &QShortcut::activated, this,
                [this] { setZoom(zoom_ + 1); });
    }
    connect(new QShortcut(QKeySequence::ZoomOut, this), &QShortcut::activated, this,
            [this] { setZoom(zoom_ - 1); });
    status_->showMessage(QStringLiteral(u"把鼠标移到像素上查看它的坐标、字节序号和颜色分量"));
    redraw();
    resizeToPicture();
}

void ZoomWindow::showFrame(const FrameBuffer& frame) {
    frame_ = frame;
    redraw();
}

void ZoomWindow::setZoom(int zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom != zoom_) {
        zoom_ = zoom;
        redraw();
        resizeToPicture();
    }
}

void ZoomWindow::setGrid(bool grid) {
    if (grid != grid_) {
        grid_ = grid;
        gridBox_->setChecked(grid);
        redraw();
        resizeToPicture();
    }
}

void ZoomWindow::setLevels(Levels levels) {
    if (levels != levels_) {
        levels_ = levels;
        levelsBox_->setCurrentIndex(levels == Levels::Panel ? 1 : 0);
        redraw();
    }
}

int ZoomWindow::largestZoomWithin(const QSize& available) const {
    // Everything but the picture: the tools above, the status bar below and the margins.
    const QSize chrome = sizeHint() - picture_.size();
    for (int zoom = kMaxZoom; zoom > kMinZoom; --zoom) {
        const int step = zoom + (grid_ ? 1 : 0);
        const QSize size(kFrameWidth * step, kFrameHeight * step);
        if ((size + chrome).width() <= available.width() &&
            (size + chrome).height() <= available.height()) {
            return zoom;
        }
    }
    return kMinZoom;
}

void ZoomWindow::fitInto(const QSize& available) {
    available_ = available;
    setZoom(largestZoomWithin(available));
    resizeToPicture();
}

// Each frame pixel fills a zoom × zoom square; with the grid, a line of one pixel lies between
// neighbouring squares (none around the edge).
void ZoomWindow::redraw() {
    const FramePixels pixels =
        levels_ == Levels::Panel ? panelPixels(frame_) : previewPixels(frame_);
    const int step = pitch();
    const int gap = grid_ ? 1 : 0;
    picture_ = QImage(kFrameWidth * step - gap, kFrameHeight * step - gap, QImage::Format_RGB32);
    picture_.fill(kGridColor);
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const ColorValue c = pixels[std::size_t(y) * kFrameWidth + std::size_t(x)];
            const QRgb rgb = qRgb(redOf(c), greenOf(c), blueOf(c));
            for (int row = 0; row < zoom_; ++row) {
                auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(y * step + row));
                std::fill_n(line + x * step, zoom_, rgb);
            }
        }
    }
    canvas_->setPixmap(QPixmap::fromImage(picture_));
    canvas_->setFixedSize(picture_.size());
    const QSignalBlocker quiet(zoomBox_);
    zoomBox_->setValue(zoom_);
    view_->updateGeometry();
}

void ZoomWindow::resizeToPicture() {
    const QSize wanted = available_.isValid() ? sizeHint().boundedTo(available_) : sizeHint();
    resize(wanted);
    // Grown at its place, it may reach past the screen's edge: moved back within it.
    const QScreen* screen = this->screen();
    if (!isVisible() || screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    move(frame.topLeft());
}

QPoint ZoomWindow::framePixelAt(const QPoint& point) const {
    const int step = pitch();
    if (point.x() < 0 || point.y() < 0 || point.x() % step >= zoom_ || point.y() % step >= zoom_) {
        return {-1, -1};
    }
    const int x = point.x() / step;
    const int y = point.y() / step;
    if (x >= kFrameWidth || y >= kFrameHeight) {
        return {-1, -1};
    }
    return {x, y};
}

void ZoomWindow::describePixelAt(const QPoint& point) {
    const QPoint pixel = framePixelAt(point);
    if (pixel.x() < 0) {
        status_->clearMessage();
        return;
    }
    const ColorValue c = decodePixel(frame_, pixel.x(), pixel.y());
    const auto nibble = [](int value) {
        return QString::number(value >> 4, 16).toUpper();
    };
    status_->showMessage(QStringLiteral(u"x = %1，y = %2　字节序号 %3　红 %4　绿 %5　蓝 %6")
                             .arg(pixel.x())
                             .arg(pixel.y())
                             .arg(pixelIndex(pixel.x(), pixel.y()))
                             .arg(nibble(redOf(c)), nibble(greenOf(c)), nibble(blueOf(c))));
}

QString ZoomWindow::statusText() const {
    return status_->currentMessage();
}

void ZoomWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ZoomWindow::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(event);
        return;
    }
    const int notches = event->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) {
        setZoom(zoom_ + notches);
    }
    event->accept();
}

} // namespace ravik
