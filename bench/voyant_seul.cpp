// The floor for Corvane's CPU while it watches: a main window whose only work is a one-second
// timer, blinking the program's own running indicator (or, with --repos, doing nothing at
// each tick). bench/measure.py runs it on the same desktop as the real binary.

#include "ui/voyant.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool clignote = !QApplication::arguments().contains(QStringLiteral("--repos"));
    QMainWindow window;
    auto* voyant = new corvane::Voyant(&window);
    voyant->setGeometry(16, 16, 17, 9);
    window.show();
    QTimer tic;
    bool vif = false;
    QObject::connect(&tic, &QTimer::timeout, [&] {
        vif = !vif;
        if (clignote) {
            voyant->setVif(vif);
        }
    });
    tic.start(1000);
    return QApplication::exec();
}
