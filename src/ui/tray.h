#pragma once
// The console's presence outside its window: an icon in the desktop's notification area (when
// the desktop has one) whose picture and tool tip show the watch state and whose menu drives
// it, and desktop notifications of each change and of each run of failed checks. It also adds
// to the console's Options menu the entries that go with it (closing to the notification
// area, starting with the session) and the DNS update's, beside the window's own.

#include <QIcon>
#include <QObject>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace corvane {

class Console;
class Moteur;
class Notifier;

class Tray : public QObject {
    Q_OBJECT
public:
    // notifier null: the desktop's notification service, where there is a screen. The icon
    // exists only where QSystemTrayIcon::isSystemTrayAvailable().
    Tray(Console& console, Moteur& moteur, Notifier* notifier = nullptr);
    ~Tray() override;

    QSystemTrayIcon* icone() const { return icone_; }

protected:
    // The console's close request: with the option on and an icon to come back through, the
    // window goes to the notification area instead of asking the exit question.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Etat { Arrete, Surveillance, Alarme };

    void ajouteOptions();
    void retraduit();
    void creeIcone();
    void montreEtat();
    void montreFenetre();
    void basculeFenetre();
    void quitte();
    void autostart(bool on);

    Console& console_;
    Moteur& moteur_;
    std::unique_ptr<Notifier> notifierPropre_;
    Notifier* notifier_ = nullptr;
    QSystemTrayIcon* icone_ = nullptr;
    std::array<QIcon, 3> images_; // by Etat
    bool quitte_ = false;         // Quitter from the icon's menu: the exit question, always

public: // named like the console's controls, so that tests find them
    QAction* menuDns = nullptr;
    QAction* menuFermerVersIcone = nullptr;
    QAction* menuAutostart = nullptr;
    QMenu* menuIcone = nullptr;
    QAction* iconeStart = nullptr;
    QAction* iconeFenetre = nullptr;
    QAction* iconeAcquitte = nullptr;
    QAction* iconeQuitter = nullptr;
};

} // namespace corvane
