// A bare borderless window the size of the main panel (470 x 175 pixels),
// for comparing the panel's start-up with what Qt alone costs. Prints
// "shown" on stderr once the window is shown and its events have run, the
// point at which the panel sends its first frame.

#include <QApplication>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(470, 175);
    window.show();
    QCoreApplication::processEvents();
    std::fputs("shown\n", stderr);
    std::fflush(stderr);
    return QApplication::exec();
}
