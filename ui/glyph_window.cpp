#include "ui/glyph_window.h"

#include "export/file_output.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/file_path.h"
#include "platform/picture_conversion.h"
#include "ui/numbers.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <optional>

namespace ravik {

namespace {

const QString kTitle = QStringLiteral(u"字模");

// The quick sets as the character set items name them.
struct QuickSet {
    const char16_t* label;
    const char* item;
};
constexpr QuickSet kQuickSets[] = {
    {u"（不加）", ""},
    {u"ASCII 字符（95 个）", "ascii"},
    {u"GB2312 一级汉字（3755 个）", "gb2312-1"},
    {u"GB2312 全部汉字（6763 个）", "gb2312"},
};

// The hinting choices, in the order the window lists them.
struct HintingChoice {
    const char16_t* label;
    fonts::Hinting hinting;
};
constexpr HintingChoice kHintingChoices[] = {
    {u"轻度（只调高度，字形不变）", fonts::Hinting::Light},
    {u"自动（笔画对齐像素，小字更清楚）", fonts::Hinting::Auto},
    {u"完全（字体自带的微调）", fonts::Hinting::Full},
    {u"不微调", fonts::Hinting::None},
};

// The fallback box: no fallback first, then the system's Chinese sans serif, then font files
// chosen, then the families.
constexpr int kNoFallback = 0;
constexpr int kFirstFallbackFile = 2;

// Typing waits this long for the next key before the font is made again.
constexpr int kTypingPauseMs = 250;

// The sample's left margin and first line on the panel.
constexpr int kSampleMargin = 1;

// A list of characters longer than this is shortened in the window to its first few, the whole
// of it below.
constexpr int kListedCharacters = 12;
constexpr int kNamedCharacters = 8;

// The baseline's marks at each cell's edges, and the legend that explains them.
const QColor kBaselineColor(0xD0, 0x30, 0x30);

QImage panelPixels(const std::vector<ColorValue>& pixels, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const ColorValue c = pixels[static_cast<std::size_t>(y * width + x)];
            image.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
        }
    }
    return image;
}

QString characterLabel(char32_t codepoint) {
    const char32_t text[] = {codepoint};
    const QString code = QString::fromStdString(fonts::codePointName(codepoint));
    if (codepoint == U' ') {
        return code;
    }
    return QString::fromUcs4(text, 1) + u' ' + code;
}

// A failure naming characters the font lacks split into its words before the list (up to the
// colon) and every character, listed in full; nothing for a failure with a short list or none.
struct CharacterList {
    QString lead;
    QStringList items;
};
std::optional<CharacterList> longCharacterList(const QString& failure,
                                               const std::vector<char32_t>& missing) {
    if (missing.size() <= std::size_t(kListedCharacters)) {
        return std::nullopt;
    }
    const qsizetype colon = failure.indexOf(u'：');
    CharacterList list{colon < 0 ? failure : failure.left(colon), {}};
    for (const char32_t c : missing) {
        list.items << characterLabel(c);
    }
    return list;
}

// The characters of a sample that the font has no glyph for, line breaks aside, each once.
QStringList missingFromFont(const PackedFont& font, const QString& text) {
    QSet<char32_t> present;
    for (const FontGlyph& glyph : font.glyphs) {
        present.insert(glyph.codepoint);
    }
    QStringList missing;
    QSet<char32_t> seen;
    for (const char32_t c : text.toUcs4()) {
        if (c != U'\n' && c != U'\r' && !present.contains(c) && !seen.contains(c)) {
            seen.insert(c);
            missing << characterLabel(c);
        }
    }
    return missing;
}

// The typed characters in lines as wide as the panel, for a sample that shows them: each line
// holds what the runtime fits from its left margin, broken after a space where the line has one,
// typed line breaks kept, characters without a glyph left out.
QString panelLines(const PackedFont& font, const QString& text, int left) {
    QHash<char32_t, int> advance;
    for (const FontGlyph& glyph : font.glyphs) {
        advance.insert(glyph.codepoint, glyph.advance);
    }
    QStringList lines;
    std::vector<char32_t> line;
    int x = left;
    const auto finish = [&] {
        while (!line.empty() && line.back() == U' ') {
            line.pop_back();
        }
        lines << QString::fromUcs4(line.data(), qsizetype(line.size()));
        line.clear();
        x = left;
    };
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\n') {
            finish();
            continue;
        }
        if (!advance.contains(c) || (line.empty() && c == U' ')) {
            continue;
        }
        if (!line.empty() && x + advance.value(c) > kFrameWidth) {
            // The word being written moves down with its character, unless it fills the line.
            const auto space = std::find(line.rbegin(), line.rend(), U' ');
            std::vector<char32_t> word(space.base(), line.end());
            if (space == line.rend()) {
                word.clear();
            } else {
                line.erase(space.base(), line.end());
            }
            finish();
            for (const char32_t w : word) {
                line.push_back(w);
                x += advance.value(w);
            }
        }
        if (line.empty() && c == U' ') {
            continue;
        }
        line.push_back(c);
        x += advance.value(c);
    }
    finish();
    return lines.join(u'\n');
}

// A wrapped label asks for the height its text takes at that width: a window's least size leaves
// out what wrapping adds, and the rows above would be squeezed for it.
void holdWrappedHeight(QLabel* label, int width) {
    label->setMinimumHeight(label->heightForWidth(width));
}

template <typename Widget, typename... Arguments>
Widget* named(const char* name, Arguments&&... arguments) {
    auto* widget = new Widget(std::forward<Arguments>(arguments)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

GlyphWindow::GlyphWindow(const Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), fileDialog_(services.fileDialog), alerts_(services.alerts),
      clipboard_(services.clipboard), colorDialog_(services.colorDialog) {
    setObjectName(QStringLiteral("GlyphWindow"));
    setWindowTitle(kTitle);
    buildControls();
    connect(&watcher_, &QFutureWatcher<fonts::FontJobResult>::finished, this,
            &GlyphWindow::jobFinished);
    renderNow();
}

// A job still running holds no pointer into the window, but its watcher must outlive it.
GlyphWindow::~GlyphWindow() {
    watcher_.waitForFinished();
}

void GlyphWindow::buildControls() {
    charactersEdit_ = named<QPlainTextEdit>("charactersEdit");
    charactersEdit_->setPlainText(QStringLiteral(u"你好，世界 Hello 123"));
    charactersEdit_->setFixedHeight(64);
    charactersEdit_->setToolTip(
        QStringLiteral(u"要取模的字符：输入的每个字符各取一次，换行和制表符不计"));
    // Tab moves on to the next control: a tab is no character to take.
    charactersEdit_->setTabChangesFocus(true);
    characterFileButton_ = named<QPushButton>("characterFileButton", QStringLiteral(u"从文件…"));
    quickSetBox_ = named<QComboBox>("quickSetBox");
    for (const QuickSet& set : kQuickSets) {
        quickSetBox_->addItem(QString::fromUtf16(set.label), QString::fromLatin1(set.item));
    }

    fontBox_ = named<QComboBox>("fontBox");
    fontBox_->addItem(QStringLiteral(u"系统默认中文无衬线字体"), QString());
    for (const std::string& family : fonts::fontFamilies()) {
        fontBox_->addItem(QString::fromStdString(family), QString::fromStdString(family));
    }
    fontBox_->setMaxVisibleItems(20);
    fontFileButton_ = named<QPushButton>("fontFileButton", QStringLiteral(u"字体文件…"));
    fallbackBox_ = named<QComboBox>("fallbackBox");
    fallbackBox_->addItem(QStringLiteral(u"（无）"), QString());
    fallbackBox_->addItem(QStringLiteral(u"系统默认中文无衬线字体"), QString());
    for (int i = 1; i < fontBox_->count(); ++i) {
        fallbackBox_->addItem(fontBox_->itemText(i), fontBox_->itemData(i));
    }
    fallbackBox_->setMaxVisibleItems(20);
    fallbackBox_->setToolTip(
        QStringLiteral(u"字体中没有的字符从这个字体中取，同一字号，对齐到同一条基线"));
    fallbackFileButton_ = named<QPushButton>("fallbackFileButton", QStringLiteral(u"字体文件…"));
    hintingBox_ = named<QComboBox>("hintingBox");
    for (const HintingChoice& choice : kHintingChoices) {
        hintingBox_->addItem(QString::fromUtf16(choice.label), int(choice.hinting));
    }
    sizeBox_ = named<QSpinBox>("sizeBox");
    sizeBox_->setRange(kMinSize, kMaxSize);
    sizeBox_->setValue(16);
    sizeBox_->setSuffix(QStringLiteral(u" 像素"));

    coverageButton_ =
        named<QRadioButton>("coverageButton", QStringLiteral(u"灰度（覆盖度，运行时着色）"));
    colorsButton_ =
        named<QRadioButton>("colorsButton", QStringLiteral(u"彩色（前景色叠在背景色上）"));
    coverageButton_->setChecked(true);
    auto* modes = new QButtonGroup(this);
    modes->addButton(coverageButton_);
    modes->addButton(colorsButton_);
    // Bits a coverage pixel and how the glyphs are stored: only for coverage glyphs.
    bppBox_ = named<QComboBox>("bppBox");
    for (const int bpp : {4, 2, 1}) {
        bppBox_->addItem(QStringLiteral(u"%1 位").arg(bpp), bpp);
    }
    bppBox_->setToolTip(QStringLiteral(u"每像素位数：4 位 16 级灰度；2 位 4 级；1 位只有亮灭"
                                       u"（覆盖过半即画），字模约为 4 位的四分之一"));
    compressionBox_ = named<QComboBox>("compressionBox");
    compressionBox_->addItem(QStringLiteral(u"不压缩"), int(GlyphCompression::None));
    compressionBox_->addItem(QStringLiteral(u"压缩（运行时直接绘制）"), int(GlyphCompression::Rle));
    compressionBox_->addItem(QStringLiteral(u"每个字形取较小者"), int(GlyphCompression::Auto));
    colorButton_ = named<QPushButton>("colorButton", QStringLiteral(u"前景色…"));
    backgroundButton_ = named<QPushButton>("backgroundButton", QStringLiteral(u"背景色…"));
    setColorSwatch(colorButton_, color_);
    setColorSwatch(backgroundButton_, background_);

    nameEdit_ = named<QLineEdit>("nameEdit", QStringLiteral("lcd_font"));
    attributeEdit_ = named<QLineEdit>("attributeEdit");
    attributeEdit_->setPlaceholderText(QStringLiteral(u"可空，如 PROGMEM"));
    // Two short lines: the panel is only 98 pixels wide.
    sampleEdit_ = named<QPlainTextEdit>("sampleEdit");
    sampleEdit_->setPlainText(QStringLiteral(u"你好，世界\nHello 123"));
    sampleEdit_->setFixedHeight(52);
    sampleEdit_->setTabChangesFocus(true);
    sampleEdit_->setToolTip(QStringLiteral(u"屏幕上的示例：跟随输入的字符，改写后用改写的文字"));

    copyHeaderButton_ = named<QPushButton>("copyHeaderButton", QStringLiteral(u"复制为 C 头文件"));
    saveHeaderButton_ = named<QPushButton>("saveHeaderButton", QStringLiteral(u"保存头文件…"));
    busyBar_ = named<QProgressBar>("busyBar");
    busyBar_->setRange(0, 0); // no steps to count: it only says work is going on
    busyBar_->setFixedWidth(80);
    busyBar_->setTextVisible(false);
    busyBar_->hide();
    statusLabel_ = named<QLabel>("statusLabel");
    failureLabel_ = named<QLabel>("failureLabel");
    failureLabel_->setWordWrap(true);
    failureLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    failureLabel_->setStyleSheet(QStringLiteral("color: #b00000"));
    failureLabel_->hide();
    // A long list of characters the font lacks, whole, in a box of its own height.
    failureList_ = named<QPlainTextEdit>("failureList");
    failureList_->setReadOnly(true);
    failureList_->setTabChangesFocus(true);
    failureList_->setFixedHeight(failureList_->fontMetrics().lineSpacing() * 4 + 12);
    failureList_->hide();

    grid_ = named<GlyphGrid>("glyphGrid");
    grid_->setToolTip(QStringLiteral(u"每个格子是一个字形占的位置（字宽 × 行高）；"
                                     u"两侧的红色短线标出基线"));
    glyphView_ = named<QScrollArea>("glyphView");
    glyphView_->setWidget(grid_);
    glyphView_->setWidgetResizable(true);
    glyphView_->setMinimumSize(420, 300);
    sampleView_ = named<QLabel>("sampleView");
    sampleView_->setFixedSize(kFrameWidth * kSampleScale, kFrameHeight * kSampleScale);
    sampleNote_ = named<QLabel>("sampleNote");
    sampleNote_->setWordWrap(true);
    sampleNote_->setStyleSheet(QStringLiteral("color: #b00000"));
    sampleNote_->setMaximumWidth(sampleView_->width());
    sampleNote_->hide();

    // The choices on the left, the glyphs and the sample on the right.
    auto* characters = new QHBoxLayout;
    characters->addWidget(characterFileButton_);
    characters->addWidget(quickSetBox_, 1);
    auto* font = new QHBoxLayout;
    font->addWidget(fontBox_, 1);
    font->addWidget(fontFileButton_);
    auto* fallback = new QHBoxLayout;
    fallback->addWidget(fallbackBox_, 1);
    fallback->addWidget(fallbackFileButton_);
    auto* colors = new QHBoxLayout;
    colors->addWidget(colorButton_);
    colors->addWidget(backgroundButton_);
    colors->addStretch();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral(u"字符："), charactersEdit_);
    form->addRow(QStringLiteral(u"另加："), characters);
    form->addRow(QStringLiteral(u"字体："), font);
    form->addRow(QStringLiteral(u"后备字体："), fallback);
    form->addRow(QStringLiteral(u"字号："), sizeBox_);
    form->addRow(QStringLiteral(u"微调："), hintingBox_);
    form->addRow(QStringLiteral(u"取模方式："), coverageButton_);
    form->addRow(QStringLiteral(u"每像素位数："), bppBox_);
    form->addRow(QStringLiteral(u"压缩："), compressionBox_);
    form->addRow(QString(), colorsButton_);
    form->addRow(QStringLiteral(u"颜色："), colors);
    form->addRow(QStringLiteral(u"数组名："), nameEdit_);
    form->addRow(QStringLiteral(u"属性："), attributeEdit_);
    form->addRow(QStringLiteral(u"示例文字："), sampleEdit_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copyHeaderButton_);
    buttons->addWidget(saveHeaderButton_);
    // The choices, what went wrong and the sample on the left; the glyphs take the rest.
    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(buttons);
    left->addWidget(failureLabel_);
    left->addWidget(failureList_);
    left->addWidget(new QLabel(QStringLiteral(u"示例（屏幕 %1 × %2，放大 %3 倍）：")
                                   .arg(kFrameWidth)
                                   .arg(kFrameHeight)
                                   .arg(kSampleScale)));
    left->addWidget(sampleView_);
    left->addWidget(sampleNote_);
    left->addStretch();
    gridTitle_ = named<QLabel>("gridTitle");
    gridTitle_->setTextFormat(Qt::RichText);
    auto* right = new QVBoxLayout;
    right->addWidget(gridTitle_);
    right->addWidget(glyphView_, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto* status = new QHBoxLayout;
    status->addWidget(statusLabel_, 1);
    status->addWidget(busyBar_);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(columns, 1);
    whole->addLayout(status);

    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    delay_->setInterval(kTypingPauseMs);
    connect(delay_, &QTimer::timeout, this, &GlyphWindow::renderNow);
    connect(charactersEdit_, &QPlainTextEdit::textChanged, this, &GlyphWindow::choicesChanged);
    connect(nameEdit_, &QLineEdit::textChanged, this, &GlyphWindow::choicesChanged);
    connect(attributeEdit_, &QLineEdit::textChanged, this, &GlyphWindow::choicesChanged);
    connect(sizeBox_, &QSpinBox::valueChanged, this, &GlyphWindow::choicesChanged);
    connect(quickSetBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(fontBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(fallbackBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(hintingBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(coverageButton_, &QRadioButton::toggled, this, &GlyphWindow::renderNow);
    connect(coverageButton_, &QRadioButton::toggled, bppBox_, &QWidget::setEnabled);
    connect(coverageButton_, &QRadioButton::toggled, compressionBox_, &QWidget::setEnabled);
    connect(bppBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(compressionBox_, &QComboBox::currentIndexChanged, this, &GlyphWindow::renderNow);
    connect(sampleEdit_, &QPlainTextEdit::textChanged, this, &GlyphWindow::sampleEdited);
    connect(characterFileButton_, &QPushButton::clicked, this, &GlyphWindow::chooseCharacterFile);
    connect(fontFileButton_, &QPushButton::clicked, this, &GlyphWindow::chooseFontFile);
    connect(fallbackFileButton_, &QPushButton::clicked, this, &GlyphWindow::chooseFallbackFile);
    connect(colorButton_, &QPushButton::clicked, this, &GlyphWindow::chooseColor);
    connect(backgroundButton_, &QPushButton::clicked, this, &GlyphWindow::chooseBackground);
    connect(copyHeaderButton_, &QPushButton::clicked, this, &GlyphWindow::copyHeader);
    connect(saveHeaderButton_, &QPushButton::clicked, this, &GlyphWindow::saveHeader);
    setStale(false);
    updateButtons();
    // Room for several glyphs a row beside the choices, as far as the screen has room.
    QSize size = sizeHint().expandedTo(QSize(1040, 680));
    if (const QScreen* screen = this->screen()) {
        size = size.boundedTo(screen->availableSize() - QSize(16, 48)).expandedTo(sizeHint());
    }
    resize(size);
}

fonts::FontJob GlyphWindow::job() const {
    fonts::FontJob job;
    job.font = toFilePath(fontBox_->currentData().toString()).string();
    job.pixelSize = sizeBox_->value();
    job.hinting = static_cast<fonts::Hinting>(hintingBox_->currentData().toInt());
    if (fallbackBox_->currentIndex() != kNoFallback) {
        job.fallbacks.push_back({toFilePath(fallbackBox_->currentData().toString()).string(), 0});
    }
    if (const QString set = quickSetBox_->currentData().toString(); !set.isEmpty()) {
        job.chars.push_back(set.toStdString());
    }
    // A tab pasted in is no more a character to take than a line break.
    job.literalText = charactersEdit_->toPlainText().remove(u'\t').toStdString();
    job.alpha = coverageButton_->isChecked();
    job.coverage.bpp = bppBox_->currentData().toInt();
    job.coverage.compression = GlyphCompression(compressionBox_->currentData().toInt());
    job.color = color_;
    job.background = background_;
    job.name = nameEdit_->text().toStdString();
    job.attribute = attributeEdit_->text().toStdString();
    return job;
}

bool GlyphWindow::busy() const {
    return running_ || pending_.has_value() || delay_->isActive();
}

QString GlyphWindow::statusText() const {
    return statusLabel_->text();
}

QString GlyphWindow::failureText() const {
    return failureLabel_->isHidden() ? QString() : failure_;
}

QString GlyphWindow::sampleNote() const {
    return sampleNote_->isHidden() ? QString() : sampleNote_->text();
}

void GlyphWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Typing waits for a pause; the rest takes effect at once.
void GlyphWindow::choicesChanged() {
    failed_ = false;
    delay_->start();
    updateButtons();
}

void GlyphWindow::renderNow() {
    delay_->stop();
    failed_ = false;
    startJob(job());
}

void GlyphWindow::startJob(const fonts::FontJob& job) {
    if (running_) {
        pending_ = job; // replaces whatever was waiting
        updateButtons();
        return;
    }
    running_ = true;
    busyBar_->show();
    statusLabel_->setText(QStringLiteral(u"正在取模…"));
    updateButtons();
    watcher_.setFuture(QtConcurrent::run(fonts::runFontJob, job));
}

void GlyphWindow::jobFinished() {
    running_ = false;
    if (pending_) {
        // Made for choices already changed: the newer job's result is the one to show.
        const fonts::FontJob next = *pending_;
        pending_.reset();
        startJob(next);
        return;
    }
    fonts::FontJobResult finished = watcher_.result();
    busyBar_->hide();
    if (!finished.ok()) {
        failed_ = true;
        showFailure(QString::fromStdString(finished.failure), finished.missing);
    } else {
        failed_ = false;
        result_ = std::move(finished);
        failure_.clear();
        failureLabel_->hide();
        failureList_->hide();
        setStale(false);
        showResult();
    }
    updateButtons();
    emit settled();
}

void GlyphWindow::showResult() {
    grid_->showFont(result_.font, color_, background_);
    const QString counts = QStringLiteral(u"共 %1 个字形，点阵 %2 字节，行高 %3 像素")
                               .arg(groupedNumber(result_.font.glyphs.size()),
                                    groupedNumber(result_.font.bitmaps.size()),
                                    groupedNumber(result_.font.lineHeight));
    statusLabel_->setText(
        stale_ ? QStringLiteral(u"显示的是上一次的字模（当前的选择没能取模）：") + counts : counts);
    followCharactersInSample();
    drawSample();
}

void GlyphWindow::drawSample() {
    if (result_.font.glyphs.empty()) {
        return;
    }
    fonts::TextPreview options;
    options.color = color_;
    options.background = background_;
    options.x = kSampleMargin;
    options.y = kSampleMargin;
    const QString text = sampleEdit_->toPlainText();
    const FrameBuffer frame = fonts::previewFrame(result_.font, text.toStdString(), options);
    samplePicture_ = previewImage(frame);
    sampleView_->setPixmap(QPixmap::fromImage(samplePicture_.scaled(
        samplePicture_.size() * kSampleScale, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    // The runtime skips a character the font lacks: say so rather than leave a silent gap.
    const QStringList missing = missingFromFont(result_.font, text);
    sampleNote_->setText(QStringLiteral(u"字模里没有示例中的这些字符，屏幕上不画：") +
                         missing.join(u'、'));
    holdWrappedHeight(sampleNote_, sampleView_->width());
    sampleNote_->setVisible(!missing.isEmpty());
}

// A sample written by the user stays; emptied, it follows the characters again.
void GlyphWindow::sampleEdited() {
    if (!settingSample_) {
        sampleFollows_ = sampleEdit_->toPlainText().isEmpty();
        if (sampleFollows_) {
            followCharactersInSample();
        }
    }
    drawSample();
}

// The sample shows the typed characters, in lines the width of the panel, once the font for
// them is made.
void GlyphWindow::followCharactersInSample() {
    if (!sampleFollows_ || stale_ || result_.font.glyphs.empty()) {
        return;
    }
    const QString typed = charactersEdit_->toPlainText().remove(u'\t');
    if (typed.trimmed().isEmpty()) {
        return;
    }
    const QString lines = panelLines(result_.font, typed, kSampleMargin);
    if (lines != sampleEdit_->toPlainText()) {
        settingSample_ = true;
        sampleEdit_->setPlainText(lines);
        settingSample_ = false;
    }
}

// The failure is said in the window; the last font stays shown, marked as not the choices'.
// A long list of characters is shortened to its count and first ones, the whole in a box.
void GlyphWindow::showFailure(const QString& text, const std::vector<char32_t>& missing) {
    failure_ = text;
    if (const auto list = longCharacterList(text, missing)) {
        failure_ = list->lead + u'：' + list->items.join(u'、') + u'。';
        failureLabel_->setText(QStringLiteral(u"%1（共 %2 个）：%3……（全部列在下面）")
                                   .arg(list->lead, groupedNumber(list->items.size()),
                                        list->items.mid(0, kNamedCharacters).join(u'、')));
        failureList_->setPlainText(list->items.join(u'\n'));
        failureList_->show();
    } else {
        failureLabel_->setText(text);
        failureList_->hide();
    }
    // As wide as the buttons above it, which span the column of choices.
    holdWrappedHeight(failureLabel_, saveHeaderButton_->geometry().right() -
                                         copyHeaderButton_->geometry().left() + 1);
    failureLabel_->show();
    if (!result_.ok() || result_.font.glyphs.empty()) {
        statusLabel_->setText(QStringLiteral(u"没有字模"));
    } else {
        setStale(true);
        showResult();
    }
}

// A stale font is drawn faded, with the headings saying whose it is.
void GlyphWindow::setStale(bool stale) {
    stale_ = stale;
    grid_->setStale(stale);
    sampleView_->setEnabled(!stale);
    const QString legend = QStringLiteral(u"全部字形（放大，带像素格；<span style=\"color:%1\">"
                                          u"红色短线</span>标出基线）")
                               .arg(kBaselineColor.name());
    gridTitle_->setText(stale ? legend + QStringLiteral(u"：上一次的字模，不是当前的选择")
                              : legend + u'：');
}

// Copying and saving take the font shown, and only while it is what the choices make.
void GlyphWindow::updateButtons() {
    const bool current = haveResultForChoices();
    copyHeaderButton_->setEnabled(current);
    saveHeaderButton_->setEnabled(current);
}

bool GlyphWindow::haveResultForChoices() const {
    return !busy() && !failed_ && !result_.header.empty();
}

// The colour framed in grey, so white shows on a light button and black on a dark one.
void GlyphWindow::setColorSwatch(QPushButton* button, ColorValue color) {
    QPixmap swatch(14, 14);
    swatch.fill(QColor(0x80, 0x80, 0x80));
    QPainter painter(&swatch);
    painter.fillRect(swatch.rect().adjusted(1, 1, -1, -1),
                     QColor(redOf(color), greenOf(color), blueOf(color)));
    painter.end();
    button->setIcon(QIcon(swatch));
}

void GlyphWindow::chooseCharacterFile() {
    fileDialog_.setFilter(QStringLiteral(u"文本文件 (UTF-8)|*.txt;*.h;*.c|所有文件|*"));
    const auto chosen = fileDialog_.ShowOpen(fileDialog_.FileName());
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    QFile file(*chosen);
    if (!file.open(QIODevice::ReadOnly)) {
        showFailure(QString::fromStdString(
            fonts::faultMessage(fonts::FontFault::CharacterFileError,
                                QDir::toNativeSeparators(*chosen).toStdString() + "（" +
                                    file.errorString().toStdString() + "）")));
        return;
    }
    const QByteArray bytes = file.readAll();
    std::vector<char32_t> check;
    if (!fonts::decodeUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size())), check)) {
        showFailure(QString::fromStdString(fonts::faultMessage(
            fonts::FontFault::InvalidUtf8, QDir::toNativeSeparators(*chosen).toStdString())));
        return;
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    charactersEdit_->setPlainText(text);
    renderNow();
}

void GlyphWindow::chooseFontFile() {
    chooseFontFileFor(fontBox_, 1);
}

void GlyphWindow::chooseFallbackFile() {
    chooseFontFileFor(fallbackBox_, kFirstFallbackFile);
}

// A font file into the box and chosen there; files come before the families from `firstFile`
// on, each named by its file name.
void GlyphWindow::chooseFontFileFor(QComboBox* box, int firstFile) {
    fileDialog_.setFilter(QStringLiteral(u"字体文件|*.ttf;*.otf;*.ttc;*.otc|所有文件|*"));
    const auto chosen = fileDialog_.ShowOpen(fileDialog_.FileName());
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    int index = box->findData(*chosen);
    if (index < firstFile) {
        box->insertItem(firstFile, QFileInfo(*chosen).fileName(), *chosen);
        box->setItemData(firstFile, QDir::toNativeSeparators(*chosen), Qt::ToolTipRole);
        index = firstFile;
    }
    if (box->currentIndex() == index) {
        renderNow();
    } else {
        box->setCurrentIndex(index);
    }
}

void GlyphWindow::chooseColor() {
    if (const auto chosen = colorDialog_.choose(color_, QStringLiteral(u"前景色"), this)) {
        color_ = *chosen;
        setColorSwatch(colorButton_, color_);
        renderNow();
    }
}

void GlyphWindow::chooseBackground() {
    if (const auto chosen = colorDialog_.choose(background_, QStringLiteral(u"背景色"), this)) {
        background_ = *chosen;
        setColorSwatch(backgroundButton_, background_);
        renderNow();
    }
}

void GlyphWindow::copyHeader() {
    if (!haveResultForChoices()) {
        return;
    }
    if (!clipboard_.SetText(QString::fromStdString(result_.header))) {
        alerts_.warn(kTitle, QStringLiteral(u"无法把头文件放到剪贴板上，请再试一次。"));
        return;
    }
    statusLabel_->setText(QStringLiteral(u"已复制头文件（%1 个字形）")
                              .arg(groupedNumber(result_.font.glyphs.size())));
}

void GlyphWindow::saveHeader() {
    if (!haveResultForChoices()) {
        return;
    }
    fileDialog_.setFilter(QStringLiteral(u"C 头文件|*.h|所有文件|*"));
    const QString folder =
        fileDialog_.FileName().isEmpty() ? QString() : QFileInfo(fileDialog_.FileName()).path();
    const QString proposed = QDir(folder).filePath(nameEdit_->text() + QStringLiteral(".h"));
    const auto chosen = fileDialog_.ShowSave(
        folder.isEmpty() ? nameEdit_->text() + QStringLiteral(".h") : proposed);
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    if (const auto failure = writeFileAtomically(toFilePath(*chosen), result_.header)) {
        alerts_.warn(kTitle,
                     QStringLiteral(u"无法保存头文件：\n%1\n\n原因：%2")
                         .arg(QDir::toNativeSeparators(*chosen), QString::fromStdString(*failure)));
        return;
    }
    // Said as the main window says its saves.
    statusLabel_->setText(QStringLiteral(u"已保存") + QDir::toNativeSeparators(*chosen));
}

GlyphGrid::GlyphGrid(QWidget* parent) : QWidget(parent) {}

void GlyphGrid::showFont(const PackedFont& font, ColorValue color, ColorValue background) {
    font_ = font;
    color_ = color;
    background_ = background;
    // One box holds every glyph on its line: the advance and line height, widened for glyphs
    // reaching past them.
    int left = 0;
    int top = 0;
    int right = 1;
    int bottom = std::max(font.lineHeight, 1);
    for (const FontGlyph& glyph : font.glyphs) {
        left = std::min(left, glyph.left);
        right = std::max({right, glyph.advance, glyph.left + glyph.width});
        top = std::min(top, font.ascent - glyph.top);
        bottom = std::max(bottom, font.ascent - glyph.top + glyph.height);
    }
    box_ = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    // Large enough to see each pixel, small enough for several glyphs side by side.
    zoom_ = std::clamp(160 / std::max(box_.width(), box_.height()), 3, 12);
    layoutCells();
    update();
}

void GlyphGrid::setStale(bool stale) {
    if (stale != stale_) {
        stale_ = stale;
        update();
    }
}

QSize GlyphGrid::cellSize() const {
    const int pitch = zoom_ + 1;
    const int labelHeight = fontMetrics().height() + 4;
    return {std::max(box_.width() * pitch + 1,
                     fontMetrics().horizontalAdvance(QStringLiteral("W U+10FFFF"))) +
                8,
            box_.height() * pitch + 1 + labelHeight + 8};
}

void GlyphGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutCells();
}

void GlyphGrid::layoutCells() {
    const QSize cell = cellSize();
    columns_ = std::max(1, width() / cell.width());
    const int rows = (count() + columns_ - 1) / columns_;
    setMinimumHeight(rows * cell.height());
    update();
}

int GlyphGrid::columnPitch() const {
    return std::max(cellSize().width(), width() / columns_);
}

void GlyphGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    if (font_.glyphs.empty()) {
        return;
    }
    const QSize cell = cellSize();
    const int pitch = columnPitch();
    // The width left over is shared out between the cells, each centred in its share.
    const int inset = (pitch - cell.width()) / 2;
    const int firstRow = event->rect().top() / cell.height();
    const int lastRow = event->rect().bottom() / cell.height();
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const int index = row * columns_ + column;
            if (index >= count()) {
                break;
            }
            drawCell(painter, index, QPoint(column * pitch + inset, row * cell.height()));
        }
    }
    if (stale_) {
        QColor veil = palette().window().color();
        veil.setAlpha(170);
        painter.fillRect(event->rect(), veil);
    }
}

QImage GlyphGrid::cellImage(int index) const {
    QImage image(cellSize(), QImage::Format_RGB32);
    image.fill(palette().window().color());
    QPainter painter(&image);
    drawCell(painter, index, {0, 0});
    return image;
}

// The box in the background colour, the glyph's pixels as the panel shows them, a grid line
// around every pixel, the baseline marked by a short line at either edge; the label below.
void GlyphGrid::drawCell(QPainter& painter, int index, const QPoint& at) const {
    const FontGlyph& glyph = font_.glyphs[static_cast<std::size_t>(index)];
    const int pitch = zoom_ + 1;
    const QPoint origin = at + QPoint(4, 4);
    const QColor background(redOf(background_) & 0xF0, greenOf(background_) & 0xF0,
                            blueOf(background_) & 0xF0);
    const QRect area(origin, QSize(box_.width() * pitch + 1, box_.height() * pitch + 1));
    painter.fillRect(area, QColor(0x80, 0x80, 0x80));
    for (int y = 0; y < box_.height(); ++y) {
        for (int x = 0; x < box_.width(); ++x) {
            painter.fillRect(origin.x() + x * pitch + 1, origin.y() + y * pitch + 1, zoom_, zoom_,
                             background);
        }
    }
    const std::vector<ColorValue> pixels =
        fonts::glyphPixels(font_, static_cast<std::size_t>(index), color_, background_);
    const QImage bitmap = panelPixels(pixels, glyph.width, glyph.height);
    const int left = glyph.left - box_.left();
    const int top = font_.ascent - glyph.top - box_.top();
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            painter.fillRect(origin.x() + (left + x) * pitch + 1,
                             origin.y() + (top + y) * pitch + 1, zoom_, zoom_,
                             QColor(bitmap.pixel(x, y)));
        }
    }
    // The baseline: the grid line under its last row, continued just outside the box.
    const int baseline = origin.y() + (font_.ascent - box_.top()) * pitch;
    painter.fillRect(at.x(), baseline, origin.x() - at.x(), 1, kBaselineColor);
    painter.fillRect(area.right() + 1, baseline, origin.x() - at.x(), 1, kBaselineColor);
    painter.setPen(palette().windowText().color());
    painter.drawText(
        QRect(at.x(), area.bottom() + 2, cellSize().width(), fontMetrics().height() + 4),
        Qt::AlignHCenter | Qt::AlignTop, characterLabel(glyph.codepoint));
}

} // namespace ravik
