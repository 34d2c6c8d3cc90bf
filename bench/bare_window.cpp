// A bare borderless window the size of the main panel (470 x 175 pixels),
// for comparing the panel's start-up with what Qt alone costs. Prints
// "shown" on stderr once the window is shown and its events have run, the
// point at which the panel sends its first frame. With --label it also
// shows one line of text, so that the font system's start-up, which any
// window with text pays, is on both sides of the comparison.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(470, 175);
    if (QApplication::arguments().contains(QStringLiteral("--label")))
        (new QLabel(QStringLiteral("v 1.42H"), &window))->move(85, 8);
    window.show();
    QCoreApplication::processEvents();
    std::fputs("shown\n", stderr);
    std::fflush(stderr);
    return QApplication::exec();
}
