#include "form2.h"

#include "platform/window_opacity.h"
#include "ui/program_icon.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

namespace ravik {
namespace {

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

Form2::Form2(WindowOpacity& opacity, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      opacity_(opacity) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose); // closing unloads; the next show loads anew
    setWindowTitle(QStringLiteral(u"关于本程序"));
    setWindowIcon(programIcon());
    buildControls();
    Form_Load();
}

void Form2::buildControls() {
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/ravik/about.jpg")));
    Image1->adjustSize();

    Label1 = addLabel(this, "Label1", QStringLiteral(u"Velmar Ravik 液晶取模助手 Ver1.0"),
                      {96, 56, 0, 0});
    QFont title(QStringLiteral(u"宋体"), 9, QFont::Bold);
    title.setStyleHint(QFont::Serif); // fontconfig picks a serif CJK face where SimSun is missing
    Label1->setFont(title);
    setTextColor(Label1, QColor(128, 128, 255));
    Label1->adjustSize();

    Label2 = addLabel(this, "Label2", QStringLiteral(u"Ravik LCD 开源项目，MIT 许可"),
                      {120, 80, 225, 17});
    setTextColor(Label2, QColor(128, 128, 128));
    Label3 = addLabel(this, "Label3", QStringLiteral(u"反馈：请提交项目议题"), {120, 104, 145, 17});
    Label4 = addLabel(this, "Label4", QStringLiteral(u"交流：项目讨论区"), {120, 128, 137, 17});
    Label5 = addLabel(this, "Label5", QStringLiteral(u"欢迎交流指导"), {120, 152, 121, 17});

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
}

void Form2::Form_Load() {
    Image1->move(0, 0);
    fitToPicture();
    FadeAlpha = 0;
    LayeredCapable = opacity_.available();
    if (LayeredCapable) {
        opacity_.set(*this, kStartAlpha);
        Timer1->start();
    }
    // Without per-window opacity the window is simply opaque; a timer would only tick in vain.
}

void Form2::Timer1_Timer() {
    if (!LayeredCapable) {
        return;
    }
    FadeAlpha = static_cast<qint16>(FadeAlpha + kFadeStep);
    opacity_.set(*this, FadeAlpha);
    if (FadeAlpha >= kOpaque) {
        Timer1->stop();
    }
}

bool Form2::fading() const {
    return Timer1->isActive();
}

// The window's outer size is the picture's width and its height plus 20 pixels, frame included.
// The frame's size is known only once the window system has framed the window, so this runs again
// when the window is shown or moved; without a frame the client area takes the whole size.
void Form2::fitToPicture() {
    const QSize outer(Image1->width(), Image1->height() + kExtraOuterHeight);
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client = isVisible() ? outer - frame : outer;
    if (client != size()) {
        setFixedSize(client);
    }
}

bool Form2::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Show || event->type() == QEvent::Move) {
        fitToPicture();
    }
    return handled;
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ravik
