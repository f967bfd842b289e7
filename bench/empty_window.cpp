// The floor for Corvane's start-up: a Qt Widgets program that shows one empty main window,
// built with the same flags, started and measured the same way (bench/measure.py --startup).

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    return QApplication::exec();
}
