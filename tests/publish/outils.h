#pragma once
// What a publication reports, as the console log would hold it.

#include "support/fichiers.h"
#include "watch/services.h"

#include <QStringList>

namespace corvane::test {

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
