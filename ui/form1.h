#pragma once

// The main window: open a picture and see it as the LCD will show it, then take the frame as C
// text or as a .bin file.

#include "codec/conversion.h"
#include "codec/frame_buffer.h"
#include "platform/picture_loader.h"
#include "platform/services.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <vector>

class QAction;
class QActionGroup;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace ravik {

class Form2;
class GlyphWindow;
class PictureBox;
class StatusLabel;
class ZoomWindow;
class ColorDialog;

class Form1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 248;
    static constexpr int kClientHeight = 264;

    // The dialog, warning boxes, clipboard and window opacity come from outside, so tests can
    // script them.
    explicit Form1(const Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    const ravik::FrameBuffer& frameBuffer() const { return FrameBuffer; }
    const QString& textAccumulator() const { return TextAccumulator; }
    // The About window while it is loaded.
    Form2* aboutWindow() const;

    // Loads the picture at path into the source box, converts it and previews it, as choosing it
    // in "打开文件" does. A picture that can't be loaded is reported and changes nothing.
    bool openPicture(const QString& path);
    // Reads a frame file (.bin, or C text in .c, .h, .txt) into the frame and shows it in both
    // boxes; of a frame set, the first frame, the status line saying how many there are. A file
    // that isn't frame data is reported and changes nothing.
    bool openFrameFile(const QString& path);
    // A frame file or a picture, by the file's suffix: what "打开文件", a drop and the command
    // line open.
    bool openFile(const QString& path);

    // The conversion choices of the picture boxes' menu; each converts the open picture again at
    // once. A fit other than the original size loads the whole picture again from its file.
    const ConversionOptions& conversionOptions() const { return options_; }
    bool setFit(Fit fit);
    void setDither(Dither dither);
    void setBackground(ColorValue background);
    // Asks for the background colour ("底色…").
    void chooseBackground();
    // Opens the enlarged preview, or brings it to the front ("放大预览").
    void showZoomWindow();
    ZoomWindow* zoomWindow() const;
    // Opens the glyph set window, or brings it to the front ("字模…").
    void showGlyphWindow();
    GlyphWindow* glyphWindow() const;
    // Fills menu with the picture boxes' actions, as their context menu shows them.
    void fillPictureMenu(QMenu& menu);

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Form_Unload(int& cancel);
    void Pre_View();
    // Ctrl+V: a picture on the clipboard is opened, text holding a frame is read into it.
    void pasteFromClipboard();
    // "复制为 C 数组声明": the frame as a C header on the clipboard.
    void copyCDeclaration();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildPictureActions();
    void showPictureMenu(QWidget* box, const QPoint& position);
    void conversionChanged();
    void convertPicture();
    // Reads the open picture again for other options; on failure says why under `title`.
    bool reloadPicture(const ConversionOptions& wanted, const QString& title);
    void showFrame(const ravik::FrameBuffer& frame);
    std::vector<int> frameAlpha() const;
    void updateZoomWindow();
    void rememberFile(const QString& path);
    void setPictureOutline(const QSize& size, int frames);
    QString pictureNote() const;
    // The status line: a message, and below it what the boxes show of the picture, if that needs
    // saying.
    void setStatus(const QString& text, const QString& note = QString());
    QString proposedBinName() const;

    FileDialog& CommonDialog1;
    Alerts& alerts_;
    Clipboard& clipboard_;
    WindowOpacity& opacity_;
    ColorDialog& colorDialog_;
    QPointer<Form2> aboutWindow_;
    QPointer<ZoomWindow> zoomWindow_;
    QPointer<GlyphWindow> glyphWindow_;

    ravik::FrameBuffer FrameBuffer;
    QString TextAccumulator;
    // The opened picture as decoded (scaled, for the scaling fits), kept so a change of options
    // converts it again.
    LoadedPicture picture_;
    QString picturePath_; // where picture_ came from, to load it again for another fit
    // The file the frame was opened from or last saved to, which names its declaration and its
    // .bin; empty for a frame or picture pasted from the clipboard.
    QString frameFile_;
    // The whole picture as its file holds it, of which the boxes may show only a part.
    QSize pictureSize_;
    int pictureFrames_ = 1;
    ConversionOptions options_;

    QActionGroup* fitActions_ = nullptr;
    QActionGroup* ditherActions_ = nullptr;
    QAction* backgroundAction_ = nullptr;
    QAction* zoomAction_ = nullptr;
    QAction* glyphAction_ = nullptr;
    QAction* copyDeclarationAction_ = nullptr;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture3 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command3 = nullptr;
    StatusLabel* Label3 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
};

} // namespace ravik
