#pragma once
// The Qt versions of the platform layers used by the real program.

#include "platform/platform.h"

#include <QHash>
#include <QPointer>

#include <memory>

class QMessageBox;
class QSoundEffect;

namespace corvane {

class QtMessageBoxes : public MessageBoxes {
public:
    bool ask(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    bool notify(const QString& channel, const QString& title, const QString& text,
                Icon icon) override;

private:
    QHash<QString, QPointer<QMessageBox>> open_;
};

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(Sound sound) override;

private:
    std::unique_ptr<QSoundEffect> change_;
    std::unique_ptr<QSoundEffect> mail_;
};

// Opens only web and mail addresses; anything else is refused.
class QtLinkOpener : public LinkOpener {
public:
    bool open(const QUrl& url) override;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace corvane
