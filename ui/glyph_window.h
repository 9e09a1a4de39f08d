#pragma once

// 字模: glyph sets for the panel from any font. The characters (typed, from a file, or a quick
// set), the font and its size, coverage or colours; every glyph enlarged with the pixel grid as
// the panel shows it, a sample line drawn on the panel as the runtime draws it, and the header
// for the firmware on the clipboard or in a file. Rendering runs off the GUI thread, one job at a
// time; a newer choice supersedes what is waiting.

#include "fonts/font_job.h"
#include "platform/services.h"

#include <QFutureWatcher>
#include <QWidget>
#include <optional>

class QButtonGroup;
class QKeyEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace ravik {

class GlyphGrid;

class GlyphWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinSize = 8;
    static constexpr int kMaxSize = 64;
    static constexpr int kSampleScale = 3;

    explicit GlyphWindow(const Services& services, QWidget* parent = nullptr);
    ~GlyphWindow() override;

    // The window's choices as the job they make.
    fonts::FontJob job() const;
    // The last font made, shown in the grid and the sample; what the buttons copy and save.
    const fonts::FontJobResult& result() const { return result_; }
    // A job running or waiting for its turn.
    bool busy() const;
    // The status line (glyph count and bytes) and the failure, if any, in full; the window shows
    // a long list of characters shortened, the whole of it in a box below.
    QString statusText() const;
    QString failureText() const;
    // The sample line on the panel, as drawn, and what it says of sample characters the font lacks.
    const QImage& samplePicture() const { return samplePicture_; }
    QString sampleNote() const;
    const GlyphGrid& grid() const { return *grid_; }
    // Whether the grid and sample show an earlier font than the current choices make.
    bool showingStaleResult() const { return stale_; }

public slots:
    // Starts a job for the current choices now, instead of after the short pause typing gets.
    void renderNow();
    void chooseCharacterFile();
    void chooseFontFile();
    void chooseFallbackFile();
    void chooseColor();
    void chooseBackground();
    void copyHeader();
    void saveHeader();

protected:
    // Escape closes the window, as it closes the zoom and About windows.
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // No job is running or waiting any more: the result or the failure is shown.
    void settled();

private:
    void buildControls();
    void choicesChanged();
    void startJob(const fonts::FontJob& job);
    void jobFinished();
    void showResult();
    void drawSample();
    void sampleEdited();
    void followCharactersInSample();
    void showFailure(const QString& text, const std::vector<char32_t>& missing = {});
    void setStale(bool stale);
    void updateButtons();
    void setColorSwatch(QPushButton* button, ColorValue color);
    void chooseFontFileFor(QComboBox* box, int firstFile);
    bool haveResultForChoices() const;

    FileDialog& fileDialog_;
    Alerts& alerts_;
    Clipboard& clipboard_;
    ColorDialog& colorDialog_;

    fonts::FontJobResult result_;
    ColorValue color_ = RGB(0xFF, 0xFF, 0xFF);
    ColorValue background_ = RGB(0, 0, 0);
    // The job running now and the latest one asked for while it ran.
    QFutureWatcher<fonts::FontJobResult> watcher_;
    std::optional<fonts::FontJob> pending_;
    bool running_ = false;
    bool failed_ = false; // the latest choices made no font
    bool stale_ = false;  // the grid and sample show an earlier font than the choices make
    // The sample is the typed characters until the user writes a sample of their own.
    bool sampleFollows_ = true;
    bool settingSample_ = false;
    QString failure_;
    QImage samplePicture_;

    QTimer* delay_ = nullptr;
    QPlainTextEdit* charactersEdit_ = nullptr;
    QPushButton* characterFileButton_ = nullptr;
    QComboBox* quickSetBox_ = nullptr;
    QComboBox* fontBox_ = nullptr;
    QPushButton* fontFileButton_ = nullptr;
    QComboBox* fallbackBox_ = nullptr;
    QPushButton* fallbackFileButton_ = nullptr;
    QComboBox* hintingBox_ = nullptr;
    QSpinBox* sizeBox_ = nullptr;
    QRadioButton* coverageButton_ = nullptr;
    QRadioButton* colorsButton_ = nullptr;
    QComboBox* bppBox_ = nullptr;
    QComboBox* compressionBox_ = nullptr;
    QPushButton* colorButton_ = nullptr;
    QPushButton* backgroundButton_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* attributeEdit_ = nullptr;
    QPlainTextEdit* sampleEdit_ = nullptr;
    QPushButton* copyHeaderButton_ = nullptr;
    QPushButton* saveHeaderButton_ = nullptr;
    QProgressBar* busyBar_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* failureLabel_ = nullptr;
    QPlainTextEdit* failureList_ = nullptr;
    QLabel* gridTitle_ = nullptr;
    QScrollArea* glyphView_ = nullptr;
    GlyphGrid* grid_ = nullptr;
    QLabel* sampleView_ = nullptr;
    QLabel* sampleNote_ = nullptr;
};

// Every glyph of a font enlarged, each pixel a square with a grid line between, in cells of one
// size (the whole advance and line) with the character and its code point under each, spread
// over the whole width. Only the cells in view are drawn, so thousands of glyphs cost nothing
// until scrolled to. A stale font (the choices since made none) is drawn faded.
class GlyphGrid : public QWidget {
    Q_OBJECT
public:
    explicit GlyphGrid(QWidget* parent = nullptr);

    void showFont(const PackedFont& font, ColorValue color, ColorValue background);
    void setStale(bool stale);
    int count() const { return static_cast<int>(font_.glyphs.size()); }
    int zoom() const { return zoom_; }
    int columns() const { return columns_; }
    QSize cellSize() const;
    // The distance from one column to the next: the width shared out among the columns.
    int columnPitch() const;
    // Cell i as drawn, with its label.
    QImage cellImage(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutCells();
    void drawCell(QPainter& painter, int index, const QPoint& at) const;

    PackedFont font_;
    ColorValue color_ = 0;
    ColorValue background_ = 0;
    // The box every glyph is drawn in, in panel pixels relative to the pen on the line's top.
    QRect box_;
    int zoom_ = 4;
    int columns_ = 1;
    bool stale_ = false;
};

} // namespace ravik
