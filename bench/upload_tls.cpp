// Driver of bench/upload_tls.py: the program's upload (EnvoiFtp on its worker thread, as the
// main window runs it) timed from envoie() until its final state reaches the event loop.
// Usage: upload_tls PROTOCOLE HOTE:PORT UTILISATEUR FICHIER DISTANT RUNS EMPREINTE CERTIFICAT
// with the password on the first line of standard input. Prints one JSON line.

#include "publish/ftpenvoi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace corvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 8) {
        std::fputs("upload_tls PROTOCOLE HOTE:PORT UTILISATEUR FICHIER DISTANT RUNS EMPREINTE "
                   "CERTIFICAT < mot de passe\n",
                   stderr);
        return 2;
    }
    DemandeFtp d;
    d.protocole = args[0];
    d.hebergeur = args[1];
    d.utilisateur = args[2];
    d.fichierLocal = args[3];
    d.cheminDistant = args[4];
    const int runs = args[5].toInt();
    d.empreinteHote = args[6];
    d.certificat = args[7];
    d.motDePasse = QTextStream(stdin).readLine();
    const int warm = 2;

    EnvoiFtp envoi;
    QJsonArray times;
    QJsonArray raisons;
    int n = 0;
    QElapsedTimer clock;
    // Each upload starts once the worker of the one before is joined, as the next change of
    // address would find it.
    std::function<void()> suivant = [&] {
        if (envoi.occupe()) {
            QTimer::singleShot(1, &app, suivant);
            return;
        }
        clock.start();
        envoi.envoie(d);
    };
    QObject::connect(&envoi, &EnvoiFtp::etat, &app, [&](int etat, const QString& raison) {
        if (etat != EtatTermine && etat != EtatAucun && etat != EtatErreur) {
            return;
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (etat != EtatTermine) {
            raisons.append(raison);
        } else if (n >= warm) {
            times.append(ms);
        }
        if (++n == warm + runs) {
            QCoreApplication::quit();
            return;
        }
        QTimer::singleShot(0, &app, suivant);
    });
    QTimer::singleShot(0, &app, suivant);
    QTimer::singleShot(600000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const QJsonObject o{{"upload_ms", times}, {"failures", raisons.size()}, {"reasons", raisons}};
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    return raisons.isEmpty() ? 0 : 1;
}
