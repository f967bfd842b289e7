#pragma once
// Recording fakes of the platform and of the engine's services, which answer when the test says.

#include "platform/platform.h"
#include "watch/services.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace corvane::test {

// What the fakes were asked, in one list, in order.
struct Trace {
    QStringList* vers = nullptr;
    void operator()(const QString& s) const
    {
        if (vers) {
            vers->append(s);
        }
    }
};

class FakeMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString kind, channel, title, text; // kind: "ask", "inform" or "notify"
    };
    Trace trace; // the boxes that opened
    QList<Shown> shown;
    QSet<QString> open;  // channels whose box the "user" has not closed yet
    QList<bool> answers; // next answers to ask(); Yes when empty

    bool ask(const QString& title, const QString& text) override
    {
        shown.append({"ask", {}, title, text});
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void inform(const QString& title, const QString& text, Icon) override
    {
        shown.append({"inform", {}, title, text});
    }
    bool notify(const QString& channel, const QString& title, const QString& text, Icon) override
    {
        if (open.contains(channel)) {
            return false;
        }
        open.insert(channel);
        shown.append({"notify", channel, title, text});
        trace("boite " + text);
        return true;
    }
    void closeAll() override { open.clear(); }
};

class FakeSound : public SoundPlayer {
public:
    Trace trace;
    void play(Sound s) override { trace(s == Sound::Change ? "son change" : "son mail"); }
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

// Answers with repond()/echoue(), as the page would, some time after demarre().
class FakeDetecteur : public Detecteur {
public:
    Trace trace; // "?" for each request
    bool actif = false;
    void demarre(const RequeteDetection&) override
    {
        trace("?");
        actif = true;
    }
    bool enCours() const override { return actif; }
    void repond(const QString& ip, bool secours = false)
    {
        actif = false;
        emit termine(ResultatDetection{true, ip, {}, secours, {}});
    }
    void echoue(const QString& raison)
    {
        actif = false;
        emit termine(ResultatDetection{false, {}, raison, false, {}});
    }
};

// A mailing ends when the test emits termine().
class FakeMail : public ServiceMail {
public:
    Trace trace;
    int inits = 0;
    QString motDePasse; // of the last InitSmtp
    void InitSmtp(const ReglagesMail& r) override
    {
        ++inits;
        motDePasse = r.motDePasse;
    }
    void BoucleSend(const QString&, const QString& ip) override { trace("mail " + ip); }
};

// An update ends when the test emits termine().
class FakeDns : public ServiceDns {
public:
    Trace trace;
    void miseAJour(const ReglagesDns&, const QString& adresse) override { trace("dns " + adresse); }
};

class FakePublication : public ServicePublication {
public:
    Trace trace;
    bool pageOk = true;
    bool ecrit_ip_actu(const QString& ip) override
    {
        trace("ecrit " + ip);
        return true;
    }
    bool prepare_page(const QString& ip) override
    {
        trace("page " + ip);
        return pageOk;
    }
    QString motDePasse; // of the last upload
    void envoi_ftp(const DemandeFtp& d) override
    {
        trace("ftp " + d.fichierLocal);
        motDePasse = d.motDePasse;
    }
};

} // namespace corvane::test
