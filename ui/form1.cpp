#include "form1.h"

#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"
#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/file_path.h"
#include "platform/picture_box.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "platform/picture_outline.h"
#include "ui/form2.h"
#include "ui/glyph_window.h"
#include "ui/program_icon.h"
#include "ui/status_label.h"
#include "ui/zoom_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <array>
#include <optional>

namespace ravik {
namespace {

template <typename Widget, typename... Args>
Widget* place(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The one local file a drag carries, if it carries exactly that; folders, several files and
// anything that is not a file are refused.
std::optional<QString> droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return std::nullopt;
    }
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) {
        return std::nullopt;
    }
    return url.toLocalFile();
}

// What the status line adds for a frame set, of which the window shows the first frame.
QString frameSetNote(const FrameReading& reading) {
    return reading.frameSet ? QStringLiteral(u"帧数据共 %1 帧，显示第 1 帧")
                                  .arg(qsizetype(reading.frames.size()))
                            : QString();
}

// The open dialog's filters: pictures first, then frame files, then everything.
QString openFilter() {
    QStringList parts = pictureFilter().split(u'|');
    parts.insert(2, QStringLiteral(u"帧数据"));
    parts.insert(3, QStringLiteral("*.bin;*.c;*.h;*.txt"));
    return parts.join(u'|');
}

const QString kMenuHint =
    QStringLiteral(u"右键：缩放方式、抖动、底色、放大预览、字模…、复制为 C 数组声明");

template <typename Choice> struct MenuChoice {
    const char16_t* text;
    Choice choice;
};
constexpr MenuChoice<Fit> kFitChoices[] = {{u"原始尺寸", Fit::Original},
                                           {u"等比缩放", Fit::Contain},
                                           {u"填满裁切", Fit::Cover},
                                           {u"拉伸", Fit::Stretch}};
constexpr MenuChoice<Dither> kDitherChoices[] = {
    {u"无", Dither::None}, {u"有序", Dither::Ordered}, {u"误差扩散", Dither::FloydSteinberg}};

// One checkable action per choice, exclusive, the choice kept in the action's data.
template <typename Choice, std::size_t N>
QActionGroup* choiceActions(QObject* parent, const MenuChoice<Choice> (&choices)[N],
                            Choice current) {
    auto* group = new QActionGroup(parent);
    for (const auto& entry : choices) {
        QAction* action = group->addAction(QString::fromUtf16(entry.text));
        action->setCheckable(true);
        action->setData(static_cast<int>(entry.choice));
        action->setChecked(entry.choice == current);
    }
    return group;
}

template <typename Choice> void checkChoice(QActionGroup* group, Choice choice) {
    for (QAction* action : group->actions()) {
        action->setChecked(action->data().toInt() == static_cast<int>(choice));
    }
}

template <typename Choice> QString choiceText(QActionGroup* group, Choice choice) {
    for (QAction* action : group->actions()) {
        if (action->data().toInt() == static_cast<int>(choice)) {
            return action->text();
        }
    }
    return {};
}

// A colour as the command line's --background takes it: #RRGGBB.
QString colorText(ColorValue color) {
    const auto hex = [](int channel) {
        return QStringLiteral("%1").arg(channel, 2, 16, QLatin1Char('0')).toUpper();
    };
    return u'#' + hex(redOf(color)) + hex(greenOf(color)) + hex(blueOf(color));
}

} // namespace

Form1::Form1(const Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      CommonDialog1(services.fileDialog), alerts_(services.alerts), clipboard_(services.clipboard),
      opacity_(services.opacity), colorDialog_(services.colorDialog) {
    setObjectName(QStringLiteral("Form1"));
    CommonDialog1.setObjectName(QStringLiteral("CommonDialog1"));
    setWindowTitle(QStringLiteral(u"Ravik液晶显示器取模助手"));
    setWindowIcon(programIcon());
    setFixedSize(kClientWidth, kClientHeight);
    setAcceptDrops(true);
    buildControls();
    buildPictureActions();
}

// The About window has no owner, so it is not deleted with this one by Qt.
Form1::~Form1() {
    delete aboutWindow_;
}

void Form1::buildControls() {
    Label1 = place<QLabel>(this, "Label1", {16, 16, 81, 17}, QStringLiteral(u"打开的图片："));
    Label2 = place<QLabel>(this, "Label2", {128, 16, 97, 17}, QStringLiteral(u"取模效果预揽："));
    Picture1 = place<PictureBox>(this, "Picture1", {16, 40, 102, 71});
    Picture3 = place<PictureBox>(this, "Picture3", {128, 40, 102, 71});
    Frame1 = place<QGroupBox>(this, "Frame1", {16, 120, 217, 129}, QStringLiteral("Frame1"));
    Command1 = place<QPushButton>(Frame1, "Command1", {8, 24, 97, 25}, QStringLiteral(u"打开文件"));
    Command2 = place<QPushButton>(Frame1, "Command2", {112, 24, 89, 25}, QStringLiteral(u"取模"));
    Command4 =
        place<QPushButton>(Frame1, "Command4", {8, 56, 97, 25}, QStringLiteral(u"保存为bin文件"));
    Command3 =
        place<QPushButton>(Frame1, "Command3", {112, 56, 89, 25}, QStringLiteral(u"关于本程序"));
    Label3 = place<StatusLabel>(Frame1, "Label3", {8, 96, 193, 25},
                                QStringLiteral(u"*注：取模后自动复制到剪贴板"));
    // Text1 lies below the client area: it receives the C text but the user never sees it.
    Text1 = place<QPlainTextEdit>(this, "Text1", {128, 464, 529, 217}, QStringLiteral("Text1"));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the buttons instead of typing a tab into a box nobody sees, and its edit
    // menu would open beside the window, where the box lies.
    Text1->setTabChangesFocus(true);
    Text1->setContextMenuPolicy(Qt::PreventContextMenu);
    // Text1 holds the focus but is never seen: Ctrl+V there reads the clipboard as elsewhere.
    Text1->installEventFilter(this);

    for (QPushButton* button : {Command1, Command2, Command3, Command4}) {
        button->setAutoDefault(false);
    }
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);

    const std::array<QWidget*, 7> tabOrder = {Text1,    Command3, Command4, Command2,
                                              Command1, Picture3, Picture1};
    for (std::size_t i = 0; i + 1 < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    Text1->setFocus();
}

void Form1::buildPictureActions() {
    fitActions_ = choiceActions(this, kFitChoices, options_.fit);
    connect(fitActions_, &QActionGroup::triggered, this,
            [this](QAction* action) { setFit(static_cast<Fit>(action->data().toInt())); });
    ditherActions_ = choiceActions(this, kDitherChoices, options_.dither);
    connect(ditherActions_, &QActionGroup::triggered, this,
            [this](QAction* action) { setDither(static_cast<Dither>(action->data().toInt())); });
    backgroundAction_ = new QAction(QStringLiteral(u"底色…"), this);
    connect(backgroundAction_, &QAction::triggered, this, &Form1::chooseBackground);
    zoomAction_ = new QAction(QStringLiteral(u"放大预览"), this);
    connect(zoomAction_, &QAction::triggered, this, &Form1::showZoomWindow);
    glyphAction_ = new QAction(QStringLiteral(u"字模…"), this);
    connect(glyphAction_, &QAction::triggered, this, &Form1::showGlyphWindow);
    copyDeclarationAction_ = new QAction(QStringLiteral(u"复制为 C 数组声明"), this);
    connect(copyDeclarationAction_, &QAction::triggered, this, &Form1::copyCDeclaration);

    // Right click or the Menu key on either box; a double click on the preview enlarges it.
    // Their tooltips say so, as nothing else in the window does.
    Picture3->setToolTip(QStringLiteral(u"双击：放大预览\n") + kMenuHint);
    setPictureOutline({}, 1);
    for (PictureBox* box : {Picture1, Picture3}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QWidget::customContextMenuRequested, this,
                [this, box](const QPoint& position) { showPictureMenu(box, position); });
    }
    Picture3->installEventFilter(this);
}

void Form1::fillPictureMenu(QMenu& menu) {
    QMenu* fit = menu.addMenu(QStringLiteral(u"缩放方式"));
    fit->addActions(fitActions_->actions());
    QMenu* dither = menu.addMenu(QStringLiteral(u"抖动"));
    dither->addActions(ditherActions_->actions());
    menu.addAction(backgroundAction_);
    menu.addSeparator();
    menu.addAction(zoomAction_);
    menu.addAction(glyphAction_);
    menu.addSeparator();
    menu.addAction(copyDeclarationAction_);
}

void Form1::showPictureMenu(QWidget* box, const QPoint& position) {
    QMenu menu(this);
    fillPictureMenu(menu);
    menu.exec(box->mapToGlobal(position));
}

bool Form1::setFit(Fit fit) {
    if (fit == options_.fit) {
        return true;
    }
    ConversionOptions wanted = options_;
    wanted.fit = fit;
    // The fits need different parts of the picture: the corner, or all of it scaled.
    if (!picturePath_.isEmpty() && !reloadPicture(wanted, QStringLiteral(u"缩放方式"))) {
        checkChoice(fitActions_, options_.fit);
        return false;
    }
    options_.fit = fit;
    checkChoice(fitActions_, fit);
    conversionChanged();
    return true;
}

bool Form1::reloadPicture(const ConversionOptions& wanted, const QString& title) {
    const LoadedPicture loaded = loadForFit(picturePath_, wanted);
    if (!loaded.ok()) {
        alerts_.warn(title, QStringLiteral(u"无法重新读取图片：\n%1\n\n原因：%2")
                                .arg(nativePath(picturePath_), loaded.failure));
        return false;
    }
    picture_ = loaded;
    return true;
}

void Form1::setDither(Dither dither) {
    options_.dither = dither;
    checkChoice(ditherActions_, dither);
    conversionChanged();
}

void Form1::setBackground(ColorValue background) {
    ConversionOptions wanted = options_;
    wanted.background = background & 0xFFFFFF;
    // A scaled picture with transparency was averaged over the old background: read it again.
    if (picture_.scaled && picture_.scaled->translucent && !picturePath_.isEmpty() &&
        !reloadPicture(wanted, QStringLiteral(u"底色"))) {
        return;
    }
    options_ = wanted;
    conversionChanged();
}

void Form1::chooseBackground() {
    if (const auto chosen =
            colorDialog_.choose(options_.background, QStringLiteral(u"底色"), this)) {
        setBackground(*chosen);
    }
}

// With a picture open, it is converted again at once and the earlier text is dropped, so a
// later "取模" gives the new frame.
void Form1::conversionChanged() {
    if (picture_.isNull()) {
        return;
    }
    TextAccumulator.clear();
    convertPicture();
    setPictureOutline(pictureSize_, pictureFrames_); // the corner note depends on the fit
    setStatus(QStringLiteral(u"已重新转换：%1，抖动：%2，底色：%3")
                  .arg(choiceText(fitActions_, options_.fit),
                       choiceText(ditherActions_, options_.dither), colorText(options_.background)),
              pictureNote());
}

ZoomWindow* Form1::zoomWindow() const {
    return zoomWindow_;
}

GlyphWindow* Form1::glyphWindow() const {
    return glyphWindow_;
}

void Form1::showGlyphWindow() {
    if (glyphWindow_ == nullptr) {
        glyphWindow_ = new GlyphWindow(
            Services{CommonDialog1, alerts_, clipboard_, opacity_, colorDialog_}, this);
    }
    glyphWindow_->show();
    glyphWindow_->raise();
    glyphWindow_->activateWindow();
}

// The picture's alpha at each frame pixel as converted with the current choices, or
// ZoomWindow::kOnlyBackground: what the zoom window's selection makes its mask from. Empty when
// no picture is behind the frame.
std::vector<int> Form1::frameAlpha() const {
    if (picture_.isNull()) {
        return {};
    }
    std::vector<int> alpha(std::size_t(kPixelCount), ZoomWindow::kOnlyBackground);
    if (picture_.scaled && !picture_.scaled->translucent) {
        // Opaque: the picture covers the area it was scaled into, the background the rest.
        const Area& target = picture_.scaled->placement.target;
        for (int y = target.y; y < target.y + target.height; ++y) {
            std::fill_n(alpha.begin() + std::ptrdiff_t(y) * kFrameWidth + target.x, target.width,
                        255);
        }
        return alpha;
    }
    // A scaled translucent picture keeps only its blended colours: its alpha is read again.
    const QImage source =
        picture_.picture.isNull() ? LoadPicture(picturePath_).picture : picture_.picture;
    if (source.isNull()) {
        return {};
    }
    // The alpha placed as the fit places the colours: an opaque picture whose red is the alpha,
    // put in the box the same way.
    // At the original size only the corner the box shows is needed.
    QImage alphaPicture = options_.fit == Fit::Original ? boxRgba(source, options_.background)
                                                        : rgba8(source, options_.background);
    for (int y = 0; y < alphaPicture.height(); ++y) {
        std::uint8_t* pixel = alphaPicture.scanLine(y);
        for (int x = 0; x < alphaPicture.width(); ++x, pixel += 4) {
            pixel[0] = pixel[3];
            pixel[3] = 255;
        }
    }
    ConversionOptions placing = options_;
    placing.size = kFrameBox;
    const BoxPixels box = composeBox(rgbaView(alphaPicture), placing);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        alpha[i] = box.picture[i] ? redOf(box.shown[i]) : ZoomWindow::kOnlyBackground;
    }
    return alpha;
}

// The zoom window gets the frame with the picture's alpha and the name its selection goes by.
void Form1::updateZoomWindow() {
    zoomWindow_->setSourceName(frameFile_.isEmpty() ? QString()
                                                    : QFileInfo(frameFile_).completeBaseName());
    zoomWindow_->showFrame(FrameBuffer, frameAlpha());
}

void Form1::showZoomWindow() {
    if (zoomWindow_ == nullptr) {
        zoomWindow_ = new ZoomWindow(
            Services{CommonDialog1, alerts_, clipboard_, opacity_, colorDialog_}, this);
        updateZoomWindow();
        if (const QScreen* screen = this->screen()) {
            // Room for the window's frame and title bar, which the window manager adds.
            const QSize frame(16, 48);
            zoomWindow_->fitInto(screen->availableSize() - frame);
        }
    }
    zoomWindow_->show();
    zoomWindow_->raise();
    zoomWindow_->activateWindow();
}

bool Form1::openPicture(const QString& givenPath) {
    // A name given relative to the working folder (command line, drop) is kept as a full path.
    const QString path = givenPath.isEmpty() ? givenPath : QFileInfo(givenPath).absoluteFilePath();
    const LoadedPicture loaded = loadForFit(path, options_);
    if (!loaded.ok()) {
        alerts_.warn(QStringLiteral(u"打开文件"), QStringLiteral(u"无法打开图片：\n%1\n\n原因：%2")
                                                      .arg(nativePath(path), loaded.failure));
        return false;
    }
    rememberFile(path);
    picture_ = loaded;
    picturePath_ = path;
    TextAccumulator.clear();
    convertPicture();
    const PictureOutline outline = readPictureOutline(path);
    setPictureOutline(outline.size.isValid() ? outline.size : loaded.picture.size(),
                      outline.frames);
    setStatus(QStringLiteral(u"已打开") + nativePath(path), pictureNote());
    return true;
}

bool Form1::openFrameFile(const QString& givenPath) {
    const QString path = QFileInfo(givenPath).absoluteFilePath();
    const FrameReading reading = readFrameFile(toFilePath(path));
    if (!reading.ok()) {
        alerts_.warn(QStringLiteral(u"打开文件"),
                     QStringLiteral(u"无法打开帧数据：\n%1\n\n原因：%2")
                         .arg(nativePath(path), QString::fromStdString(reading.failure)));
        return false;
    }
    // Saving as .bin then proposes this file itself (or, for C text, a .bin beside it).
    rememberFile(path);
    showFrame(reading.frames.front());
    setStatus(QStringLiteral(u"已打开") + nativePath(path), frameSetNote(reading));
    return true;
}

bool Form1::openFile(const QString& path) {
    return isFrameFile(toFilePath(path)) ? openFrameFile(path) : openPicture(path);
}

void Form1::Command1_Click() {
    // The open dialog always offers pictures, whatever filter the last save left behind.
    CommonDialog1.setFilter(openFilter());
    const QString last = CommonDialog1.FileName();
    const QString startFolder = last.isEmpty() ? QString() : QFileInfo(last).absolutePath();
    if (const auto chosen = CommonDialog1.ShowOpen(startFolder)) {
        openFile(*chosen);
    }
}

// A frame read back has no picture behind it: the source box shows the frame decoded too.
void Form1::showFrame(const ravik::FrameBuffer& frame) {
    // A frame has no picture behind it: later choices leave it as it is.
    picture_ = {};
    picturePath_.clear();
    setPictureOutline({}, 1);
    TextAccumulator.clear();
    FrameBuffer = frame;
    Picture1->setPixels(previewPixels(FrameBuffer));
    Pre_View();
}

void Form1::pasteFromClipboard() {
    const QString title = QStringLiteral(u"粘贴");
    if (const QImage image = clipboard_.GetImage(); !image.isNull()) {
        // The whole picture, with no file behind it, so every fit can use it as it is.
        picture_ = {image, {}, std::nullopt};
        picturePath_.clear();
        frameFile_.clear();
        TextAccumulator.clear();
        convertPicture();
        setPictureOutline(image.size(), 1);
        setStatus(QStringLiteral(u"已从剪贴板读取图片"), pictureNote());
        return;
    }
    const QString text = clipboard_.GetText();
    if (text.isEmpty()) {
        alerts_.warn(title, QStringLiteral(u"剪贴板中没有图片或帧数据。"));
        return;
    }
    const QByteArray bytes = text.toUtf8();
    const FrameReading reading =
        readFrameText(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!reading.ok()) {
        alerts_.warn(title, QStringLiteral(u"剪贴板中的文本不是帧数据。\n\n原因：%1")
                                .arg(QString::fromStdString(reading.failure)));
        return;
    }
    frameFile_.clear();
    showFrame(reading.frames.front());
    setStatus(QStringLiteral(u"已从剪贴板读取帧数据"), frameSetNote(reading));
}

void Form1::copyCDeclaration() {
    // A pasted frame has no name of its own: it gets the neutral default, not the last file's.
    const std::string identifier = cIdentifierFor(
        frameFile_.isEmpty() ? std::string()
                             : QFileInfo(frameFile_).completeBaseName().toStdString());
    const QString header = QString::fromStdString(formatCHeader(identifier, {}, FrameBuffer));
    if (!clipboard_.SetText(header)) {
        alerts_.warn(QStringLiteral(u"复制为 C 数组声明"),
                     QStringLiteral(u"无法把 C 数组声明放到剪贴板，请稍后再试。"));
        return;
    }
    setStatus(QStringLiteral(u"C 数组声明已放到剪贴板"));
}

void Form1::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        pasteFromClipboard();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Picture3 && event->type() == QEvent::MouseButtonDblClick) {
        showZoomWindow();
        return true;
    }
    if (watched == Text1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        pasteFromClipboard();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The picture conversion: places the picture in the source box, packs the 98 × 67 colours the
// box shows into the frame and previews the result.
void Form1::convertPicture() {
    const Conversion conversion = ravik::convertPicture(picture_, options_);
    Picture1->setPixels(conversion.shown);
    FrameBuffer = conversion.frame;
    Pre_View();
}

void Form1::Pre_View() {
    Picture3->showFrame(FrameBuffer);
    if (zoomWindow_ != nullptr) {
        updateZoomWindow();
    }
}

void Form1::Command2_Click() {
    // Each press gives the frame once; an earlier block is replaced, not repeated.
    TextAccumulator = QString::fromLatin1(formatCArrayText(FrameBuffer));
    Text1->setPlainText(TextAccumulator);
    if (!clipboard_.SetText(TextAccumulator)) {
        alerts_.warn(QStringLiteral(u"取模"),
                     QStringLiteral(u"无法把取模数据放到剪贴板，请稍后再试。"));
        return;
    }
    setStatus(QStringLiteral(u"已完成，取模数据已放到剪贴板，为c语言格式，请在IDE里粘贴"));
}

// The .bin named after the frame's file, beside it; a pasted frame gets the neutral name its
// declaration has, in the folder last used.
QString Form1::proposedBinName() const {
    const QString last = CommonDialog1.FileName();
    if (last.isEmpty()) {
        return {};
    }
    if (frameFile_.isEmpty()) {
        return QFileInfo(last).dir().filePath(QString::fromStdString(cIdentifierFor({})) +
                                              QStringLiteral(".bin"));
    }
    const QFileInfo info(frameFile_);
    if (info.suffix().compare(QStringLiteral("bin"), Qt::CaseInsensitive) == 0) {
        return frameFile_;
    }
    return QDir(info.path()).filePath(info.completeBaseName() + QStringLiteral(".bin"));
}

void Form1::Command4_Click() {
    CommonDialog1.setFilter(QStringLiteral("*.bin|*.bin"));
    const auto chosen = CommonDialog1.ShowSave(proposedBinName());
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    if (const auto failure = writeBinaryFile(toFilePath(*chosen), FrameBuffer)) {
        alerts_.warn(QStringLiteral(u"保存为bin文件"),
                     QStringLiteral(u"无法保存文件：\n%1\n\n原因：%2")
                         .arg(nativePath(*chosen), QString::fromStdString(*failure)));
        return;
    }
    rememberFile(*chosen);
    setStatus(QStringLiteral(u"已保存") + nativePath(*chosen));
}

Form2* Form1::aboutWindow() const {
    return aboutWindow_;
}

void Form1::Command3_Click() {
    // Modeless and without an owner; a second press only brings it to the front.
    if (aboutWindow_ == nullptr) {
        aboutWindow_ = new Form2(opacity_);
    }
    aboutWindow_->show();
    aboutWindow_->raise();
    aboutWindow_->activateWindow();
}

void Form1::rememberFile(const QString& path) {
    CommonDialog1.setFileName(path);
    frameFile_ = path;
}

// The source box's tooltip names what it shows of the picture, with the menu it offers.
void Form1::setPictureOutline(const QSize& size, int frames) {
    pictureSize_ = size;
    pictureFrames_ = frames;
    const QString note = pictureNote();
    Picture1->setToolTip(note.isEmpty() ? kMenuHint : note + u'\n' + kMenuHint);
}

// What the boxes don't show of the picture: the frames after the first, and, at the original
// size, everything beyond the top-left corner.
QString Form1::pictureNote() const {
    QStringList notes;
    if (pictureFrames_ > 1) {
        notes << QStringLiteral(u"动画共 %1 帧").arg(pictureFrames_);
    }
    if (options_.fit == Fit::Original &&
        (pictureSize_.width() > kFrameWidth || pictureSize_.height() > kFrameHeight)) {
        notes << QStringLiteral(u"只显示左上角 %1 × %2；右键可缩放")
                     .arg(kFrameWidth)
                     .arg(kFrameHeight);
    }
    return notes.join(u'；');
}

void Form1::setStatus(const QString& text, const QString& note) {
    const QString shown = note.isEmpty() ? text : text + u'\n' + note;
    Label3->setText(shown);
    Label3->setToolTip(Label3->fits(shown) ? QString() : shown);
}

// Dropping a picture or frame file opens it as choosing it in "打开文件" does.
void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFile(event->mimeData())) {
        event->acceptProposedAction();
    }
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedFile(event->mimeData())) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event) {
    if (const auto path = droppedFile(event->mimeData())) {
        event->acceptProposedAction();
        openFile(*path);
    }
}

void Form1::Form_Unload(int& cancel) {
    Q_UNUSED(cancel);
    // Closing the main window ends the program, the About window included, even mid-fade.
    if (aboutWindow_ != nullptr) {
        aboutWindow_->close();
    }
    if (zoomWindow_ != nullptr) {
        zoomWindow_->close();
    }
    if (glyphWindow_ != nullptr) {
        glyphWindow_->close();
    }
    QCoreApplication::quit();
}

void Form1::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    Form_Unload(cancel);
    event->accept();
}

} // namespace ravik
