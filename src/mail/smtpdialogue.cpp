#include "mail/smtpdialogue.h"

#include "mail/message.h"
#include "platform/textcodec.h"

#include <QHostInfo>
#include <QNetworkProxy>
#include <QTcpSocket>

#include <cctype>

namespace corvane {

namespace {

// A server that sends this much without ending its reply is not speaking SMTP.
constexpr qsizetype kReponseMax = 64 * 1024;

bool troisChiffres(const QByteArray& ligne)
{
    return ligne.size() >= 3 && std::isdigit(static_cast<unsigned char>(ligne[0])) &&
           std::isdigit(static_cast<unsigned char>(ligne[1])) &&
           std::isdigit(static_cast<unsigned char>(ligne[2]));
}

QString nomLocal()
{
    const QString nom = surUneLigne(QHostInfo::localHostName()).trimmed();
    return nom.isEmpty() ? QStringLiteral("localhost") : nom;
}

} // namespace

SmtpDialogue::SmtpDialogue(QObject* parent) : QObject(parent)
{
    delai_.setSingleShot(true);
    delai_.setTimerType(Qt::PreciseTimer);
    connect(&delai_, &QTimer::timeout, this, &SmtpDialogue::delaiExpire);
}

SmtpDialogue::~SmtpDialogue()
{
    lacheSocket();
}

void SmtpDialogue::setDelais(int connexionMs, int reponseMs)
{
    delaiConnexionMs_ = connexionMs;
    delaiReponseMs_ = reponseMs;
}

bool SmtpDialogue::envoie(const EnvoiMail& envoi)
{
    if (enCours()) {
        return false;
    }
    ++generation_;
    envoi_ = envoi;
    tampon_.clear();
    resultat_.reset();
    etape_ = Etape::Connexion;

    const ServeurSmtp serveur = lisServeurSmtp(envoi.serveur);
    if (!serveur.erreur.isEmpty()) {
        // Reported from the event loop, like every other end, so that the caller never sees
        // termine() before envoie() has returned.
        const quint64 generation = generation_;
        QTimer::singleShot(0, this, [this, generation, raison = serveur.erreur] {
            if (generation == generation_ && etape_ == Etape::Connexion) {
                emit journal(raison);
                echoue(raison);
            }
        });
        return true;
    }

    socket_ = new QTcpSocket(this);
    socket_->setProxy(QNetworkProxy::NoProxy);
    connect(socket_, &QTcpSocket::connected, this, &SmtpDialogue::connecte);
    connect(socket_, &QTcpSocket::readyRead, this, &SmtpDialogue::donneesArrivees);
    connect(socket_, &QTcpSocket::disconnected, this, &SmtpDialogue::deconnecte);
    connect(socket_, &QTcpSocket::errorOccurred, this, &SmtpDialogue::erreur);
    delai_.start(delaiConnexionMs_);
    socket_->connectToHost(serveur.hote, serveur.port);
    return true;
}

void SmtpDialogue::connecte()
{
    emit journal(QStringLiteral("Connexion au serveur réalisée"));
    // The greeting is a reply like any other: nothing is said before it.
    etape_ = Etape::Accueil;
    delai_.start(delaiReponseMs_);
}

void SmtpDialogue::donneesArrivees()
{
    if (!socket_) {
        return;
    }
    const QByteArray bloc = socket_->readAll();
    emit activite();
    if (bloc.isEmpty()) {
        return;
    }
    emit journal(fromAnsi(bloc));
    tampon_ += bloc;
    const quint64 generation = generation_;
    while (generation == generation_ && enCours() && etape_ != Etape::Connexion) {
        const std::optional<Reponse> reponse = extraisReponseSmtp(tampon_);
        if (!reponse) {
            break;
        }
        traite(*reponse);
    }
    if (generation == generation_ && enCours() && tampon_.size() > kReponseMax) {
        echoue(QStringLiteral("réponse du serveur trop longue"));
    }
}

std::optional<RepliqueSmtp> extraisReponseSmtp(QByteArray& tampon)
{
    qsizetype debut = 0;
    while (true) {
        const qsizetype finLigne = tampon.indexOf('\n', debut);
        if (finLigne < 0) {
            return std::nullopt;
        }
        QByteArray ligne = tampon.mid(debut, finLigne - debut);
        if (ligne.endsWith('\r')) {
            ligne.chop(1);
        }
        debut = finLigne + 1;
        const bool suite = troisChiffres(ligne) && ligne.size() > 3 && ligne[3] == '-';
        if (!suite) {
            RepliqueSmtp r;
            r.code = troisChiffres(ligne) ? ligne.left(3).toInt() : 0;
            r.ligne = fromAnsi(ligne);
            tampon.remove(0, debut);
            return r;
        }
    }
}

QString raisonRefus(const RepliqueSmtp& reponse)
{
    return reponse.ligne.trimmed().isEmpty() ? QStringLiteral("réponse vide du serveur")
                                             : reponse.ligne;
}

void SmtpDialogue::traite(const Reponse& reponse)
{
    delai_.stop();
    switch (etape_) {
    case Etape::Accueil:
        if (reponse.code == 220) {
            commande(QStringLiteral("HELO ") + nomLocal(), Etape::Helo);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::Helo:
        if (reponse.code == 250) {
            commande(QStringLiteral("MAIL FROM:") + entreChevrons(envoi_.expediteur),
                     Etape::MailFrom);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::MailFrom:
        if (reponse.code == 250 || reponse.code == 251) {
            commande(QStringLiteral("RCPT TO:") + entreChevrons(envoi_.destinataire),
                     Etape::RcptTo);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::RcptTo:
        if (reponse.code == 250 || reponse.code == 251) {
            commande(QStringLiteral("DATA"), Etape::Data);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::Data:
        if (reponse.code == 354) {
            socket_->write(
                contenuMessage(envoi_.destinataire, envoi_.expediteur, envoi_.sujet, envoi_.corps));
            etape_ = Etape::FinDonnees;
            delai_.start(delaiReponseMs_);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::FinDonnees:
        if (reponse.code == 250) {
            resultat_ = ResultatEnvoi{true, {}};
        } else {
            resultat_ = ResultatEnvoi{false, raisonRefus(reponse)};
        }
        commande(QStringLiteral("QUIT"), Etape::Quit);
        break;
    case Etape::Quit:
        fin();
        break;
    case Etape::Repos:
    case Etape::Connexion:
        break;
    }
}

void SmtpDialogue::commande(const QString& texte, Etape suivante)
{
    socket_->write(toAnsi(surUneLigne(texte)) + "\r\n");
    etape_ = suivante;
    delai_.start(delaiReponseMs_);
}

void SmtpDialogue::refuse(const Reponse& reponse)
{
    // Nothing more of the message goes to a server that said no; QUIT ends it politely.
    resultat_ = ResultatEnvoi{false, raisonRefus(reponse)};
    commande(QStringLiteral("QUIT"), Etape::Quit);
}

void SmtpDialogue::deconnecte()
{
    emit journal(QStringLiteral("Deconnexion réalisée"));
    if (!resultat_) {
        resultat_ = ResultatEnvoi{false, QStringLiteral("connexion fermée par le serveur")};
    }
    fin();
}

void SmtpDialogue::erreur()
{
    if (!socket_) {
        return;
    }
    const QAbstractSocket::SocketError e = socket_->error();
    if (e == QAbstractSocket::RemoteHostClosedError) {
        // The server hung up (or reset): disconnected() follows and ends the dialogue.
        if (socket_->state() == QAbstractSocket::UnconnectedState && enCours()) {
            deconnecte();
        }
        return;
    }
    const int numero = numeroErreurSocket(e);
    const QString description = socket_->errorString();
    emit erreurSocket(numero, description);
    echoue(QString::number(numero) + QStringLiteral(" : ") + description);
}

void SmtpDialogue::delaiExpire()
{
    const double secondes =
        (etape_ == Etape::Connexion ? delaiConnexionMs_ : delaiReponseMs_) / 1000.0;
    const QString raison =
        (etape_ == Etape::Connexion ? QStringLiteral("pas de connexion au serveur en %1 s")
                                    : QStringLiteral("pas de réponse du serveur en %1 s"))
            .arg(secondes);
    emit journal(QStringLiteral("Délai dépassé : ") + raison);
    echoue(raison);
}

void SmtpDialogue::echoue(const QString& raison)
{
    // A mail already taken by the server stays sent, whatever happens to its QUIT.
    if (!resultat_) {
        resultat_ = ResultatEnvoi{false, raison};
    }
    fin();
}

void SmtpDialogue::fin()
{
    if (!enCours()) {
        return;
    }
    delai_.stop();
    lacheSocket();
    etape_ = Etape::Repos;
    ++generation_;
    const ResultatEnvoi resultat = resultat_.value_or(ResultatEnvoi{});
    resultat_.reset();
    emit termine(resultat);
}

void SmtpDialogue::lacheSocket()
{
    if (!socket_) {
        return;
    }
    // Our own close is not the server's disconnection: nothing of it reaches the handlers.
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    // A QUIT answered in the same packet as the end of data is still waiting in the
    // socket's buffer: it goes out before the close.
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->flush();
    }
    socket->abort();
    socket->deleteLater();
}

} // namespace corvane
