#pragma once
// Recording fakes of the platform layers and of the main window's link, for tests.

#include "config/parametres.h"
#include "console/consolelink.h"
#include "platform/platform.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace corvane::test {

class FakeMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString kind; // "ask", "inform" or "notify"
        QString channel;
        QString title;
        QString text;
        Icon icon;
    };
    QList<Shown> shown;
    QSet<QString> open;  // channels whose box the "user" has not closed yet
    QList<bool> answers; // next answers to ask(); Yes when empty

    void setNextAnswer(bool yes) { answers.append(yes); }
    void closeAll() { open.clear(); }

    bool ask(const QString& title, const QString& text) override
    {
        shown.append({"ask", {}, title, text, Icon::Question});
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void inform(const QString& title, const QString& text, Icon icon) override
    {
        shown.append({"inform", {}, title, text, icon});
    }
    bool notify(const QString& channel, const QString& title, const QString& text,
                Icon icon) override
    {
        if (open.contains(channel)) {
            return false;
        }
        open.insert(channel);
        shown.append({"notify", channel, title, text, icon});
        return true;
    }
};

class FakeSound : public SoundPlayer {
public:
    QList<Sound> played;
    void play(Sound s) override { played.append(s); }
};

class FakeLinks : public LinkOpener {
public:
    QList<QUrl> opened;
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
};

class FakeClock : public Clock {
public:
    QDateTime current = QDateTime(QDate(2026, 12, 5), QTime(6, 45, 0));
    QDateTime now() const override { return current; }
};

struct FakePlatform {
    FakeMessageBoxes boxes;
    FakeSound sound;
    FakeLinks links;
    FakeClock clock;
    Platform platform() { return Platform{&boxes, &sound, &links, &clock}; }
};

class FakeConsole : public ConsoleLink {
public:
    Parametres params;
    QString ip;
    bool mail = false, upload = false, audio = false, debug = false;
    QStringList entries; // each journal() libelle, in order
    QString text;        // everything journal() and ajouteTexte() added, in order

    void journal(const QString& libelle) override
    {
        entries.append(libelle);
        text += QStringLiteral("\n") + libelle + QStringLiteral("\r\n<stamp>\r\nIP = ") + ip +
                QStringLiteral("\r\n");
    }
    void ajouteTexte(const QString& t) override { text += t; }
    QString ipActuelle() const override { return ip; }
    bool mailOn() const override { return mail; }
    bool uploadOn() const override { return upload; }
    bool audioOn() const override { return audio; }
    bool debugOn() const override { return debug; }
    Parametres& parametres() override { return params; }
};

} // namespace corvane::test
