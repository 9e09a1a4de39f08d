#pragma once

// The About window: the About picture with the product's title and credit lines over it. Where
// the window system takes a per-window opacity it fades in from almost transparent over about
// half a second.

#include <QWidget>

class QLabel;
class QTimer;

namespace ravik {

class WindowOpacity;

class Form2 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStartAlpha = 1;
    static constexpr int kFadeStep = 5;
    static constexpr int kOpaque = 255;
    static constexpr int kTimerInterval = 10;    // milliseconds
    static constexpr int kExtraOuterHeight = 20; // outer height is the picture's plus this

    // Constructing the window loads it: Form_Load runs and the fade begins.
    explicit Form2(WindowOpacity& opacity, QWidget* parent = nullptr);

    qint16 fadeAlpha() const { return FadeAlpha; }
    bool layeredCapable() const { return LayeredCapable; }
    bool fading() const;

public slots:
    void Timer1_Timer();

protected:
    bool event(QEvent* event) override;
    // Escape closes the window, as it closes a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void buildControls();
    void fitToPicture();

    WindowOpacity& opacity_;
    qint16 FadeAlpha = 0;
    bool LayeredCapable = false;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QTimer* Timer1 = nullptr;
};

} // namespace ravik
