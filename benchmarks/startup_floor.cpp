// The least any `convert` run built on Qt Gui costs: start the application object and make one
// frame-sized picture, nothing else. tools/bench.sh measures it beside the program's own run on
// a 98 × 67 PNG, with and without the widget library loaded.

#include <QCoreApplication>
#include <QImage>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QImage picture(98, 67, QImage::Format_RGB32);
    picture.fill(0);
    return picture.isNull() ? 1 : 0;
}
