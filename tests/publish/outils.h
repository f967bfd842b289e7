#pragma once
// What the publishing tests share: a fresh working directory, as the program runs in, whole
// files in and out, and what a publication reports, as the console log would hold it.

#include "watch/services.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace corvane::test {

// The working directory for one test; the old one comes back when it goes.
struct DossierDeTravail {
    QTemporaryDir dossier;
    QString ancien = QDir::currentPath();
    bool ok = dossier.isValid() && QDir::setCurrent(dossier.path());
    ~DossierDeTravail() { QDir::setCurrent(ancien); }
};

inline QByteArray lit(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool ecrit(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Each entry on a line of its own, the upload's dots appended where they fall.
struct Journal {
    QObject contexte; // cuts the connections when the journal goes
    QStringList entrees;
    QString texte;

    explicit Journal(ServicePublication& p)
    {
        QObject::connect(&p, &ServicePublication::entree, &contexte, [this](const QString& e) {
            entrees.append(e);
            texte += u'\n' + e + u'\n';
        });
        QObject::connect(&p, &ServicePublication::texte, &contexte,
                         [this](const QString& t) { texte += t; });
    }
};

} // namespace corvane::test
