#pragma once
// The desktop services the program uses, behind small interfaces so that the windows can be
// driven by tests with recording fakes. The Qt versions live in qt*.h/cpp beside this file.

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>

namespace corvane {

// Title of every message box that sets no title of its own.
inline const QString kTitreApplication = QStringLiteral("Corvane1.05");

class MessageBoxes {
public:
    enum class Icon { Information, Question, Warning, Critical };
    virtual ~MessageBoxes() = default;
    // Modal Yes/No question, Yes the default button, question icon. True for Yes.
    virtual bool ask(const QString& title, const QString& text) = 0;
    // Modal box with one OK button; for moments where nothing else may go on (the exit).
    virtual void inform(const QString& title, const QString& text, Icon icon) = 0;
    // Box with one OK button that does not block the caller. While a box opened on the same
    // channel is still open, nothing new opens and false is returned.
    virtual bool notify(const QString& channel, const QString& title, const QString& text,
                        Icon icon) = 0;
    // Closes every box notify() left open: at the exit, nothing may outlive the program.
    virtual void closeAll() = 0;
};

class SoundPlayer {
public:
    enum class Sound { Change, Mail };
    virtual ~SoundPlayer() = default;
    // Starts playing at once and returns; a new sound stops the one still playing.
    // Without an audio device nothing is heard and nothing is reported.
    virtual void play(Sound sound) = 0;
};

class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    // Opens a web or mail address with the desktop's default program; returns at once.
    virtual bool open(const QUrl& url) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time, in the system time zone.
    virtual QDateTime now() const = 0;
};

// Desktop notifications: short messages the desktop shows outside the program's windows.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows title and text (plain text) and returns at once; onClick runs if the user clicks
    // the notification. Without a notification service nothing shows and nothing fails.
    virtual void notify(const QString& title, const QString& text,
                        std::function<void()> onClick) = 0;
};

// What the windows receive instead of reaching for global services.
struct Platform {
    MessageBoxes* boxes = nullptr;
    SoundPlayer* sound = nullptr;
    LinkOpener* links = nullptr;
    Clock* clock = nullptr;
};

} // namespace corvane
