// The SMTP client against a server that says anything: the input is the whole byte stream
// the server sends before it hangs up. The dialogue must end exactly once, and call a mail
// sent only when the server's replies, read on their own, were 220, 250, 250/251, 250/251,
// 354 and 250 in that order.
//
// The reply reader is private to the dialogue, so it is reached the way a server reaches it:
// through a loopback connection inside this process.

#include "mail/smtpdialogue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sys/socket.h>

using namespace corvane;

namespace {

void manque(bool ok, const char* propriete)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", propriete);
        std::abort();
    }
}

// The codes of the complete replies in the stream, in order: a reply ends at its first line
// that is not "ddd-"; a line that does not start with three digits has code 0.
QList<int> codes(const QByteArray& flux)
{
    QList<int> out;
    qsizetype debut = 0;
    while (true) {
        const qsizetype fin = flux.indexOf('\n', debut);
        if (fin < 0) {
            return out;
        }
        const QByteArray ligne = flux.mid(debut, fin - debut);
        debut = fin + 1;
        const bool trois = ligne.size() >= 3 && std::isdigit(uchar(ligne[0])) &&
                           std::isdigit(uchar(ligne[1])) && std::isdigit(uchar(ligne[2]));
        if (trois && ligne.size() > 3 && ligne[3] == '-') {
            continue;
        }
        out.append(trois ? ligne.left(3).toInt() : 0);
    }
}

bool accepte(const QList<int>& c)
{
    return c.size() >= 6 && c[0] == 220 && c[1] == 250 && (c[2] == 250 || c[2] == 251) &&
           (c[3] == 250 || c[3] == 251) && c[4] == 354 && c[5] == 250;
}

QCoreApplication* app = nullptr;
QTcpServer* serveur = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    app = new QCoreApplication(*argc, *argv);
    serveur = new QTcpServer;
    if (!serveur->listen(QHostAddress::LocalHost)) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray flux(reinterpret_cast<const char*>(data), qsizetype(size));

    SmtpDialogue dialogue;
    dialogue.setDelais(2000, 2000);
    int fins = 0;
    std::optional<ResultatEnvoi> resultat;
    QObject::connect(&dialogue, &SmtpDialogue::termine, [&](const ResultatEnvoi& r) {
        ++fins;
        resultat = r;
    });
    QTcpSocket* pair = nullptr;
    const auto connexion = QObject::connect(serveur, &QTcpServer::newConnection, [&] {
        pair = serveur->nextPendingConnection();
        pair->write(flux);
        pair->flush();
        // Half close: the client sees every byte and then the end, and its own commands
        // still land somewhere instead of drawing a reset that could drop unread replies.
        ::shutdown(int(pair->socketDescriptor()), SHUT_WR);
    });

    EnvoiMail envoi{QStringLiteral("127.0.0.1:") + QString::number(serveur->serverPort()),
                    QStringLiteral("a@example.org"), QStringLiteral("b@example.org"),
                    QStringLiteral("Sujet"), QStringLiteral("Corps")};
    manque(dialogue.envoie(envoi), "a dialogue starts when none runs");
    const QDeadlineTimer borne(10000);
    while (fins == 0 && !borne.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    QObject::disconnect(connexion);
    manque(fins == 1, "the dialogue ends, within its waits");
    // A late second end would show here.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    manque(fins == 1, "the dialogue ends exactly once");
    manque(!dialogue.enCours(), "an ended dialogue is at rest");

    const bool attendu = accepte(codes(flux));
    manque(resultat->envoye == attendu,
           "sent exactly when the replies were 220 250 25x 25x 354 250");
    manque(resultat->envoye || !resultat->raison.isEmpty(), "a failure says why");
    delete pair;
    return 0;
}
