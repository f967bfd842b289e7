#pragma once
// The Qt versions of the platform layers used by the real program.

#include "platform/platform.h"
#include "platform/systemclock.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;

namespace corvane {

class QtMessageBoxes : public MessageBoxes {
public:
    // The window the modal boxes belong to (the main window). Never "the active window": that
    // may be a box already closing, which would take the question down with it.
    void setOwner(QWidget* owner) { owner_ = owner; }
    bool ask(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    bool notify(const QString& channel, const QString& title, const QString& text,
                Icon icon) override;
    void closeAll() override;

private:
    QPointer<QWidget> owner_;
    QHash<QString, QPointer<QMessageBox>> open_;
};

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(Sound sound) override;

private:
    bool essaye_ = false;
    std::unique_ptr<SoundPlayer> lecteur_; // the sound module's
};

// Opens only web and mail addresses; anything else is refused.
class QtLinkOpener : public LinkOpener {
public:
    bool open(const QUrl& url) override;
};

} // namespace corvane
