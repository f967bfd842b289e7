// The floor for Corvane's start-up: a Qt Widgets program that shows one empty main window,
// built with the same flags, started and measured the same way (bench/measure.py --startup).
// With --texte the window also has a menu bar, a label and a button: the least a window that
// shows any text pays (fonts, shaping, the menu bar), which the empty window never loads.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (QApplication::arguments().contains(QStringLiteral("--texte"))) {
        for (const char* menu : {"Aide", "Affichage", "Options"}) {
            window.menuBar()->addMenu(QString::fromLatin1(menu))->addAction(QStringLiteral("..."));
        }
        auto* centre = new QWidget;
        auto* colonne = new QVBoxLayout(centre);
        colonne->addWidget(new QLabel(QStringLiteral("IP = 198.51.100.7")));
        colonne->addWidget(new QPushButton(QStringLiteral("Start")));
        window.setCentralWidget(centre);
    }
    window.show();
    return QApplication::exec();
}
