#include "zoom_window.h"

#include "codec/conversion.h"
#include "export/c_header.h"
#include "export/file_output.h"
#include "export/picture_set.h"
#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/file_dialog.h"
#include "platform/file_path.h"
#include "ui/numbers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace ravik {
namespace {

constexpr QRgb kGridColor = qRgb(0x60, 0x60, 0x60);

// The canvas reports the mouse in its own coordinates, which are the picture's, and draws the
// selection over the picture.
class Canvas final : public QLabel {
public:
    explicit Canvas(ZoomWindow& window) : window_(window) {
        setObjectName(QStringLiteral("zoomCanvas"));
        setMouseTracking(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setContextMenuPolicy(Qt::DefaultContextMenu);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            window_.pressAt(event->position().toPoint());
            event->accept();
            return;
        }
        QLabel::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint point = event->position().toPoint();
        window_.describePixelAt(point);
        if (event->buttons() & Qt::LeftButton) {
            window_.dragTo(point);
        }
        QLabel::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            window_.releaseAt(event->position().toPoint());
            event->accept();
            return;
        }
        QLabel::mouseReleaseEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu menu(this);
        window_.fillSelectionMenu(menu);
        menu.exec(event->globalPos());
    }
    // A dashed outline of white and black, so it shows on any colour of the picture.
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        const QRect outline = window_.selectionOnPicture();
        if (outline.isEmpty()) {
            return;
        }
        QPainter painter(this);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(outline.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(outline.adjusted(0, 0, -1, -1));
        if (outline.width() > 2 && outline.height() > 2) {
            painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
            painter.drawRect(outline.adjusted(1, 1, -2, -2));
        }
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

ZoomWindow::ZoomWindow(const Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), dialog_(services.fileDialog), clipboard_(services.clipboard),
      alerts_(services.alerts) {
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
    selectionLabel_ = new QLabel(this);
    selectionLabel_->setObjectName(QStringLiteral("selectionLabel"));
    selectionLabel_->setContentsMargins(16, 0, 0, 0); // apart from the pixel under the mouse
    // As tall from the start as with a selection, so selecting never shrinks the picture's view.
    selectionLabel_->setText(QStringLiteral(u"选区"));
    selectionLabel_->setMinimumHeight(selectionLabel_->sizeHint().height());
    status_->addPermanentWidget(selectionLabel_);

    copySelectionAction_ = new QAction(QStringLiteral(u"复制选区为 C 数组声明"), this);
    copySelectionAction_->setObjectName(QStringLiteral("copySelectionAction"));
    connect(copySelectionAction_, &QAction::triggered, this, &ZoomWindow::copySelection);
    saveSelectionAction_ = new QAction(QStringLiteral(u"选区另存为 bin 文件…"), this);
    saveSelectionAction_->setObjectName(QStringLiteral("saveSelectionAction"));
    connect(saveSelectionAction_, &QAction::triggered, this, &ZoomWindow::saveSelection);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);

    connect(zoomBox_, &QSpinBox::valueChanged, this, &ZoomWindow::setZoom);
    connect(gridBox_, &QCheckBox::toggled, this, &ZoomWindow::setGrid);
    connect(levelsBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setLevels(index == 1 ? Levels::Panel : Levels::Preview); });
    // The keys work while the program has the keyboard and this window is open, so they need
    // no click in it first: a window opened from the main one may not have been given the focus.
    const auto zoomKey = [this](const QKeySequence& keys, int step) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step] { setZoom(zoom_ + step); });
    };
    zoomKey(QKeySequence(Qt::CTRL | Qt::Key_Plus), 1);
    zoomKey(QKeySequence(Qt::CTRL | Qt::Key_Equal), 1);
    zoomKey(QKeySequence(Qt::CTRL | Qt::Key_Minus), -1);
    status_->showMessage(
        QStringLiteral(u"把鼠标移到像素上查看它的坐标、字节序号和颜色分量；拖动可选取一块区域"));
    selectionChanged();
    redraw();
    resizeToPicture();
}

void ZoomWindow::showFrame(const FrameBuffer& frame, std::vector<int> alpha) {
    frame_ = frame;
    alpha_ = alpha.size() == std::size_t(kPixelCount) ? std::move(alpha) : std::vector<int>{};
    redraw();
    selectionChanged(); // the same rectangle may hold other bytes now
}

void ZoomWindow::setSourceName(const QString& baseName) {
    sourceName_ = baseName;
}

void ZoomWindow::setZoom(int zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom != zoom_) {
        zoom_ = zoom;
        redraw();
        resizeToPicture();
    }
}

// The window keeps its size: the grid makes the picture larger inside it, scrolled as needed.
void ZoomWindow::setGrid(bool grid) {
    if (grid != grid_) {
        grid_ = grid;
        gridBox_->setChecked(grid);
        redraw();
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
    canvas_->update(); // the selection's outline moves with the zoom and the grid
    canvas_->setFixedSize(picture_.size());
    const QSignalBlocker quiet(zoomBox_);
    zoomBox_->setValue(zoom_);
    view_->updateGeometry();
}

void ZoomWindow::resizeToPicture() {
    QSize wanted = sizeHint();
    if (available_.isValid()) {
        // Scrolled one way, the picture needs room for that scroll bar the other way, or the
        // bar would hide part of it and bring the second bar.
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
        const QSize whole = wanted;
        if (whole.height() > available_.height()) {
            wanted.rwidth() += bar;
        }
        if (whole.width() > available_.width()) {
            wanted.rheight() += bar;
        }
        wanted = wanted.boundedTo(available_);
    }
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

QPoint ZoomWindow::nearestPixel(const QPoint& point) const {
    const int step = pitch();
    // Integer division rounds towards zero; points left of or above the picture are clamped.
    return {std::clamp(point.x() < 0 ? 0 : point.x() / step, 0, kFrameWidth - 1),
            std::clamp(point.y() < 0 ? 0 : point.y() / step, 0, kFrameHeight - 1)};
}

void ZoomWindow::pressAt(const QPoint& point) {
    pressed_ = true;
    dragging_ = false;
    pressPoint_ = point;
    anchor_ = nearestPixel(point);
}

void ZoomWindow::dragTo(const QPoint& point) {
    if (!pressed_) {
        return;
    }
    if (!dragging_ && (point - pressPoint_).manhattanLength() < QApplication::startDragDistance()) {
        return;
    }
    dragging_ = true;
    const QPoint pixel = nearestPixel(point);
    // Both corner pixels are inside the selection, whichever way the drag went.
    setSelection(QRect(QPoint(std::min(anchor_.x(), pixel.x()), std::min(anchor_.y(), pixel.y())),
                       QPoint(std::max(anchor_.x(), pixel.x()), std::max(anchor_.y(), pixel.y()))));
}

void ZoomWindow::releaseAt(const QPoint& point) {
    if (!pressed_) {
        return;
    }
    dragTo(point);
    if (!dragging_) {
        clearSelection(); // a click without a drag
    }
    pressed_ = false;
    dragging_ = false;
}

void ZoomWindow::setSelection(const QRect& selection) {
    const QRect wanted = selection.normalized() & QRect(0, 0, kFrameWidth, kFrameHeight);
    if (wanted != selection_) {
        selection_ = wanted.isEmpty() ? QRect() : wanted;
        selectionChanged();
    }
}

void ZoomWindow::selectionChanged() {
    const bool selected = !selection_.isEmpty();
    copySelectionAction_->setEnabled(selected);
    saveSelectionAction_->setEnabled(selected);
    selectionLabel_->setText(selectionText());
    canvas_->update();
}

QRect ZoomWindow::selectionOnPicture() const {
    if (selection_.isEmpty()) {
        return {};
    }
    const int step = pitch();
    const int gap = grid_ ? 1 : 0;
    return QRect(selection_.x() * step, selection_.y() * step, selection_.width() * step - gap,
                 selection_.height() * step - gap);
}

QString ZoomWindow::selectionText() const {
    if (selection_.isEmpty()) {
        return {};
    }
    const std::size_t bytes = packedSize(selection_.width(), selection_.height());
    QString text = QStringLiteral(u"选区 %1, %2, %3 × %4　%5 字节")
                       .arg(selection_.x())
                       .arg(selection_.y())
                       .arg(selection_.width())
                       .arg(selection_.height())
                       .arg(groupedNumber(qlonglong(bytes)));
    if (selectionHasTransparency()) {
        text +=
            QStringLiteral(u" + 掩码 %1 字节")
                .arg(groupedNumber(qlonglong(maskSize(selection_.width(), selection_.height()))));
    }
    return text;
}

// The pixels are the frame's as shown, so drawing them at the selection's place gives back the
// frame. With the original size and no dither that is also what converting the same rectangle
// of the picture gives. The other choices are left as the frame has them: a scaling fit would
// scale the picture's rectangle into the box anew, and both dithers start their pattern or
// error from the rectangle's corner, so a fresh conversion of it would differ from what the
// window shows and from what the frame holds there.
std::vector<std::uint8_t> ZoomWindow::selectionBytes() const {
    if (selection_.isEmpty()) {
        return {};
    }
    std::vector<ColorValue> pixels;
    pixels.reserve(std::size_t(selection_.width()) * std::size_t(selection_.height()));
    for (int y = selection_.top(); y <= selection_.bottom(); ++y) {
        for (int x = selection_.left(); x <= selection_.right(); ++x) {
            pixels.push_back(decodePixel(frame_, x, y));
        }
    }
    return packPixels(pixels, selection_.width(), selection_.height());
}

bool ZoomWindow::selectionHasTransparency() const {
    if (selection_.isEmpty() || alpha_.empty()) {
        return false;
    }
    for (int y = selection_.top(); y <= selection_.bottom(); ++y) {
        const auto row = alpha_.begin() + std::ptrdiff_t(y) * kFrameWidth;
        // Only the picture's own pixels count: the background beyond it is opaque.
        if (std::any_of(row + selection_.left(), row + selection_.right() + 1,
                        [](int a) { return a != kOnlyBackground && a < 255; })) {
            return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> ZoomWindow::selectionMask() const {
    if (!selectionHasTransparency()) {
        return {};
    }
    std::vector<bool> drawn;
    for (int y = selection_.top(); y <= selection_.bottom(); ++y) {
        for (int x = selection_.left(); x <= selection_.right(); ++x) {
            drawn.push_back(alpha_[std::size_t(y) * kFrameWidth + std::size_t(x)] >= kDrawnAlpha);
        }
    }
    return packMask(drawn, selection_.width(), selection_.height());
}

// The source's name with the rectangle, so selections of one picture get names of their own.
std::string ZoomWindow::selectionIdentifier() const {
    const QString rectangle = QStringLiteral("%1_%2_%3x%4")
                                  .arg(selection_.x())
                                  .arg(selection_.y())
                                  .arg(selection_.width())
                                  .arg(selection_.height());
    return cIdentifierFor(cIdentifierFor(sourceName_.toStdString()) + '_' +
                          rectangle.toStdString());
}

void ZoomWindow::fillSelectionMenu(QMenu& menu) {
    menu.addAction(copySelectionAction_);
    menu.addAction(saveSelectionAction_);
}

std::string ZoomWindow::selectionHeader() const {
    if (selection_.isEmpty()) {
        return {};
    }
    PictureSet set;
    set.size = {selection_.width(), selection_.height()};
    set.pictures.push_back(selectionBytes());
    if (std::vector<std::uint8_t> mask = selectionMask(); !mask.empty()) {
        set.masks.push_back(std::move(mask));
    }
    return formatCHeader(selectionIdentifier(), {}, set);
}

void ZoomWindow::copySelection() {
    if (selection_.isEmpty()) {
        return;
    }
    if (!clipboard_.SetText(QString::fromStdString(selectionHeader()))) {
        alerts_.warn(QStringLiteral(u"复制选区为 C 数组声明"),
                     QStringLiteral(u"无法把 C 数组声明放到剪贴板，请稍后再试。"));
        return;
    }
    status_->showMessage(QStringLiteral(u"选区的 C 数组声明已放到剪贴板"));
}

void ZoomWindow::saveSelection() {
    if (selection_.isEmpty()) {
        return;
    }
    const QString title = QStringLiteral(u"选区另存为 bin 文件");
    const std::vector<std::uint8_t> bytes = selectionBytes();
    // Proposed in the folder last used, named as the header names the selection.
    const QString last = dialog_.FileName();
    const QString name = QString::fromStdString(selectionIdentifier()) + QStringLiteral(".bin");
    const QString proposed = last.isEmpty() ? name : QFileInfo(last).dir().filePath(name);
    dialog_.setFilter(QStringLiteral("*.bin|*.bin"));
    const auto chosen = dialog_.ShowSave(proposed);
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const auto failure = writeFileAtomically(toFilePath(*chosen), data)) {
        alerts_.warn(title,
                     QStringLiteral(u"无法保存文件：\n%1\n\n原因：%2")
                         .arg(QDir::toNativeSeparators(*chosen), QString::fromStdString(*failure)));
        return;
    }
    status_->showMessage(QStringLiteral(u"选区已保存到 %1").arg(QDir::toNativeSeparators(*chosen)));
}

void ZoomWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // The first Escape drops the selection; with none, it closes the window.
        if (!selection_.isEmpty()) {
            clearSelection();
        } else {
            close();
        }
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
