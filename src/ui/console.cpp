// PLACEHOLDER: the main window is being written.
#include "ui/console.h"
#include <QCloseEvent>
namespace corvane {
Console::Console(Platform platform, QString cheminConfig, QWidget* parent)
    : QMainWindow(parent), platform_(platform), cheminConfig_(std::move(cheminConfig)) {}
Console::~Console() = default;
void Console::Form_Load() {}
void Console::affiche() {}
void Console::journal(const QString&) {}
void Console::ajouteTexte(const QString&) {}
bool Console::mailOn() const { return false; }
bool Console::uploadOn() const { return false; }
bool Console::audioOn() const { return false; }
bool Console::debugOn() const { return false; }
void Console::closeEvent(QCloseEvent* e) { e->accept(); }
void Console::moveEvent(QMoveEvent*) {}
bool Console::eventFilter(QObject*, QEvent*) { return false; }
} // namespace corvane
