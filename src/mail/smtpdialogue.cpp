#include "mail/smtpdialogue.h"

#include "platform/autorites.h"
#include "platform/saferead.h"

#include "mail/message.h"
#include "platform/textcodec.h"

#include <QHostInfo>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

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

bool illisibleSurUneLigne(const QString& texte)
{
    return texte.contains(QLatin1Char('\r')) || texte.contains(QLatin1Char('\n')) ||
           texte.contains(QChar(0));
}

constexpr qint64 kTailleMaxCertificat = 4 * 1024 * 1024;

QString nomProtocole(QSsl::SslProtocol p)
{
    switch (p) {
    case QSsl::TlsV1_2:
        return QStringLiteral(" (TLS 1.2)");
    case QSsl::TlsV1_3:
        return QStringLiteral(" (TLS 1.3)");
    default:
        return {};
    }
}

} // namespace

// The TLS configuration: the system's authorities plus those of the "Certificat" file, peers
// always verified. The file is read at each mail (it may have been replaced), parsed again
// only when its bytes changed. Returns why it cannot be used; empty when it can.
QString SmtpDialogue::configureTls(const QString& chemin, QSslConfiguration& conf)
{
    conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (chemin.isEmpty()) {
        return {};
    }
    const ReadResult lu = readWholeFile(chemin, kTailleMaxCertificat);
    if (!lu) {
        return QStringLiteral("fichier Certificat illisible : ") + chemin + QStringLiteral(" (") +
               lu.raison + QLatin1Char(')');
    }
    const QByteArray& contenu = lu.data;
    if (contenu != contenuCertificat_ || autoritesFichier_.isEmpty()) {
        autoritesFichier_ = QSslCertificate::fromData(contenu, QSsl::Pem);
        autoritesFichier_.removeIf([](const QSslCertificate& c) { return c.isNull(); });
        contenuCertificat_ = contenu;
    }
    if (autoritesFichier_.isEmpty()) {
        return QStringLiteral("fichier Certificat sans certificat PEM valide : ") + chemin;
    }
    conf.setCaCertificates(autoritesSysteme() + autoritesFichier_);
    return {};
}

SmtpDialogue::SmtpDialogue(QObject* parent) : DialogueMail(parent)
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

QString SmtpDialogue::verifieReglages()
{
    const std::optional<Securite> securite = lisSecurite(envoi_.securite);
    if (!securite) {
        return QStringLiteral("valeur de Securite inconnue : \"") + envoi_.securite.trimmed() +
               QStringLiteral("\" (aucune, starttls ou ssl)");
    }
    securite_ = *securite;
    const ServeurSmtp serveur = lisServeurSmtp(envoi_.serveur, portParDefaut(*securite));
    if (!serveur.erreur.isEmpty()) {
        return serveur.erreur;
    }
    hote_ = serveur.hote;
    port_ = serveur.port;
    if (illisibleSurUneLigne(envoi_.utilisateur)) {
        return QStringLiteral("l'identifiant contient un retour à la ligne ou un caractère nul : "
                              "il n'est pas envoyé");
    }
    if (illisibleSurUneLigne(envoi_.motDePasse)) {
        return QStringLiteral("le mot de passe contient un retour à la ligne ou un caractère "
                              "nul : il n'est pas envoyé");
    }
    if (!envoi_.utilisateur.isEmpty() && *securite == Securite::Aucune) {
        return QStringLiteral("identifiant défini mais Securite=aucune : le mot de passe ne part "
                              "jamais en clair");
    }
    if (*securite != Securite::Aucune && !QSslSocket::supportsSsl()) {
        return QStringLiteral("TLS indisponible sur cette machine");
    }
    return {};
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
    erreurTls_.clear();
    huitBits_ = false;
    mecanisme_ = Mecanisme::Aucun;
    pasAuth_ = 0;
    etape_ = Etape::Connexion;
    adresse_ = adresseEnvoi(envoi.adresseExpediteur, envoi.utilisateur, envoi.expediteur);

    secrets_.clear();
    if (!envoi.motDePasse.isEmpty()) {
        const QByteArray u = envoi.utilisateur.toUtf8();
        const QByteArray m = envoi.motDePasse.toUtf8();
        secrets_ << QString::fromLatin1(('\0' + u + '\0' + m).toBase64())
                 << QString::fromLatin1(m.toBase64());
        if (envoi.motDePasse.size() >= 4) {
            secrets_ << envoi.motDePasse;
        }
    }

    QString raison = verifieReglages();
    QSslConfiguration conf;
    if (raison.isEmpty() && securite_ != Securite::Aucune) {
        raison = configureTls(envoi.certificat.trimmed(), conf);
    }
    if (!raison.isEmpty()) {
        // Reported from the event loop, like every other end, so that the caller never sees
        // termine() before envoie() has returned.
        const quint64 generation = generation_;
        QTimer::singleShot(0, this, [this, generation, raison] {
            if (generation == generation_ && etape_ == Etape::Connexion) {
                emit journal(raison);
                echoue(raison);
            }
        });
        return true;
    }

    socket_ = new QSslSocket(this);
    socket_->setProxy(QNetworkProxy::NoProxy);
    if (securite_ != Securite::Aucune) {
        socket_->setSslConfiguration(conf);
        socket_->setPeerVerifyName(hote_);
    }
    connect(socket_, &QSslSocket::connected, this, &SmtpDialogue::connecte);
    connect(socket_, &QSslSocket::encrypted, this, &SmtpDialogue::chiffre);
    connect(socket_, &QSslSocket::readyRead, this, &SmtpDialogue::donneesArrivees);
    connect(socket_, &QSslSocket::disconnected, this, &SmtpDialogue::deconnecte);
    connect(socket_, &QSslSocket::errorOccurred, this, &SmtpDialogue::erreur);
    connect(socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& erreurs) {
        // Never ignored: the handshake fails next, and its report names the first reason.
        if (!erreurs.isEmpty() && erreurTls_.isEmpty()) {
            erreurTls_ = erreurs.first().errorString();
        }
    });
    delai_.start(delaiConnexionMs_);
    if (securite_ == Securite::Ssl) {
        socket_->connectToHostEncrypted(hote_, port_, hote_);
    } else {
        socket_->connectToHost(hote_, port_);
    }
    return true;
}

void SmtpDialogue::connecte()
{
    emit journal(QStringLiteral("Connexion au serveur réalisée"));
    // The greeting is a reply like any other: nothing is said before it. With ssl, it comes
    // once the handshake is over.
    etape_ = securite_ == Securite::Ssl ? Etape::Chiffrement : Etape::Accueil;
    delai_.start(delaiReponseMs_);
}

void SmtpDialogue::chiffre()
{
    if (!socket_ || etape_ != Etape::Chiffrement) {
        return;
    }
    emit journal(QStringLiteral("Chiffrement TLS établi") +
                 nomProtocole(socket_->sessionProtocol()));
    if (securite_ == Securite::Ssl) {
        etape_ = Etape::Accueil;
        delai_.start(delaiReponseMs_);
    } else {
        // RFC 3207: everything learnt before TLS is forgotten, the server is greeted again.
        commande(QStringLiteral("EHLO ") + nomLocal(), Etape::Ehlo);
    }
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
    emit journal(masque(fromAnsi(bloc)));
    tampon_ += bloc;
    const quint64 generation = generation_;
    while (generation == generation_ && enCours() && etape_ != Etape::Connexion &&
           etape_ != Etape::Chiffrement) {
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
    QStringList textes;
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
        textes << fromAnsi(ligne.mid(4));
        const bool suite = troisChiffres(ligne) && ligne.size() > 3 && ligne[3] == '-';
        if (!suite) {
            RepliqueSmtp r;
            r.code = troisChiffres(ligne) ? ligne.left(3).toInt() : 0;
            r.ligne = fromAnsi(ligne);
            r.textes = textes;
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
        if (reponse.code != 220) {
            refuse(reponse);
        } else if (securite_ == Securite::Aucune) {
            commande(QStringLiteral("HELO ") + nomLocal(), Etape::Helo);
        } else {
            commande(QStringLiteral("EHLO ") + nomLocal(), Etape::Ehlo);
        }
        break;
    case Etape::Helo:
        if (reponse.code == 250) {
            mailFrom();
        } else {
            refuse(reponse);
        }
        break;
    case Etape::Ehlo:
        if (reponse.code == 250) {
            apresEhlo(reponse);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::StartTls:
        if (reponse.code != 220) {
            abandonne(QStringLiteral("STARTTLS refusé : ") + raisonRefus(reponse));
        } else if (!tampon_.isEmpty() || socket_->bytesAvailable() > 0) {
            // Anything after the 220 would pass as said over TLS (RFC 3207 §6).
            echoue(QStringLiteral("données du serveur avant le chiffrement : session abandonnée"));
        } else {
            etape_ = Etape::Chiffrement;
            delai_.start(delaiReponseMs_);
            socket_->startClientEncryption();
        }
        break;
    case Etape::Auth:
        if (reponse.code == 235) {
            mailFrom();
        } else if (reponse.code == 334 && mecanisme_ == Mecanisme::Login && pasAuth_ < 2) {
            const QString& valeur = pasAuth_ == 0 ? envoi_.utilisateur : envoi_.motDePasse;
            ++pasAuth_;
            commandeSecrete(valeur.toUtf8().toBase64(), Etape::Auth);
        } else {
            abandonne(QStringLiteral("authentification refusée : ") + masque(raisonRefus(reponse)));
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
            const EnteteMail entete{envoi_.date,
                                    nouveauMessageId(adresse_, envoi_.date.isValid()
                                                                   ? envoi_.date
                                                                   : QDateTime::currentDateTime()),
                                    envoi_.expediteur,
                                    adresse_,
                                    envoi_.destinataire,
                                    envoi_.sujet};
            socket_->write(contenuMessage(entete, envoi_.corps));
            etape_ = Etape::FinDonnees;
            delai_.start(delaiReponseMs_);
        } else {
            refuse(reponse);
        }
        break;
    case Etape::FinDonnees:
        if (reponse.code == 250) {
            resultat_ = ResultatEnvoi{true, {}, false};
        } else {
            resultat_ = ResultatEnvoi{false, masque(raisonRefus(reponse)), reponse.code == 421};
        }
        commande(QStringLiteral("QUIT"), Etape::Quit);
        break;
    case Etape::Quit:
        fin();
        break;
    case Etape::Repos:
    case Etape::Connexion:
    case Etape::Chiffrement:
        break;
    }
}

void SmtpDialogue::apresEhlo(const Reponse& reponse)
{
    bool startTls = false;
    bool plain = false;
    bool login = false;
    huitBits_ = false;
    for (qsizetype i = 1; i < reponse.textes.size(); ++i) {
        const QString mot = reponse.textes[i].trimmed().toUpper();
        if (mot == QLatin1String("STARTTLS")) {
            startTls = true;
        } else if (mot == QLatin1String("8BITMIME")) {
            huitBits_ = true;
        } else if (mot.startsWith(QLatin1String("AUTH ")) ||
                   mot.startsWith(QLatin1String("AUTH="))) {
            const QStringList mecanismes = mot.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            plain = plain || mecanismes.contains(QLatin1String("PLAIN"));
            login = login || mecanismes.contains(QLatin1String("LOGIN"));
        }
    }
    if (securite_ == Securite::StartTls && !socket_->isEncrypted()) {
        if (startTls) {
            commande(QStringLiteral("STARTTLS"), Etape::StartTls);
        } else {
            abandonne(QStringLiteral("le serveur ne propose pas STARTTLS"));
        }
        return;
    }
    if (envoi_.utilisateur.isEmpty()) {
        mailFrom();
    } else if (plain) {
        mecanisme_ = Mecanisme::Plain;
        const QByteArray jeton =
            '\0' + envoi_.utilisateur.toUtf8() + '\0' + envoi_.motDePasse.toUtf8();
        commandeSecrete("AUTH PLAIN " + jeton.toBase64(), Etape::Auth);
    } else if (login) {
        mecanisme_ = Mecanisme::Login;
        commande(QStringLiteral("AUTH LOGIN"), Etape::Auth);
    } else {
        abandonne(QStringLiteral("le serveur ne propose ni AUTH PLAIN ni AUTH LOGIN"));
    }
}

void SmtpDialogue::mailFrom()
{
    // 8BITMIME is only ever learnt from EHLO: the plain dialogue stays as it always was.
    commande(QStringLiteral("MAIL FROM:") + entreChevrons(adresse_) +
                 (huitBits_ ? QStringLiteral(" BODY=8BITMIME") : QString()),
             Etape::MailFrom);
}

void SmtpDialogue::commande(const QString& texte, Etape suivante)
{
    socket_->write(toAnsi(surUneLigne(texte)) + "\r\n");
    etape_ = suivante;
    delai_.start(delaiReponseMs_);
}

void SmtpDialogue::commandeSecrete(const QByteArray& ligne, Etape suivante)
{
    // Base64 of values already checked for line breaks: one line, and never logged.
    socket_->write(ligne + "\r\n");
    etape_ = suivante;
    delai_.start(delaiReponseMs_);
}

void SmtpDialogue::refuse(const Reponse& reponse)
{
    // Nothing more of the message goes to a server that said no; QUIT ends it politely. A
    // refusal before MAIL FROM (greeting, HELO, EHLO) or a 421 would meet every address.
    resultat_ = ResultatEnvoi{false, masque(raisonRefus(reponse)),
                              etape_ < Etape::MailFrom || reponse.code == 421};
    commande(QStringLiteral("QUIT"), Etape::Quit);
}

void SmtpDialogue::abandonne(const QString& raison)
{
    resultat_ = ResultatEnvoi{false, raison, true};
    commande(QStringLiteral("QUIT"), Etape::Quit);
}

void SmtpDialogue::deconnecte()
{
    emit journal(QStringLiteral("Deconnexion réalisée"));
    if (!resultat_) {
        resultat_ = ResultatEnvoi{
            false,
            etape_ == Etape::Chiffrement
                ? QStringLiteral("connexion fermée par le serveur pendant la négociation TLS")
                : QStringLiteral("connexion fermée par le serveur"),
            etape_ < Etape::MailFrom};
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
    QString raison;
    if (!erreurTls_.isEmpty()) {
        raison = QStringLiteral("certificat du serveur non reconnu : ") + erreurTls_;
    } else if (e == QAbstractSocket::SslHandshakeFailedError ||
               e == QAbstractSocket::SslInternalError ||
               e == QAbstractSocket::SslInvalidUserDataError) {
        raison = QStringLiteral("échec de la négociation TLS : ") + description;
    } else {
        raison = QString::number(numero) + QStringLiteral(" : ") + description;
    }
    emit journal(QStringLiteral("Erreur : ") + raison);
    echoue(raison);
}

void SmtpDialogue::delaiExpire()
{
    const bool connexion = etape_ == Etape::Connexion;
    const double secondes = (connexion ? delaiConnexionMs_ : delaiReponseMs_) / 1000.0;
    const QString raison =
        (connexion                      ? QStringLiteral("pas de connexion au serveur en %1 s")
         : etape_ == Etape::Chiffrement ? QStringLiteral("pas de négociation TLS en %1 s")
                                        : QStringLiteral("pas de réponse du serveur en %1 s"))
            .arg(secondes);
    emit journal(QStringLiteral("Délai dépassé : ") + raison);
    echoue(raison);
}

void SmtpDialogue::echoue(const QString& raison, bool connexion)
{
    // A mail already taken by the server stays sent, whatever happens to its QUIT.
    if (!resultat_) {
        resultat_ = ResultatEnvoi{false, masque(raison), connexion};
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
    secrets_.clear();
    envoi_.motDePasse.clear();
    emit termine(resultat);
}

void SmtpDialogue::lacheSocket()
{
    if (!socket_) {
        return;
    }
    // Our own close is not the server's disconnection: nothing of it reaches the handlers.
    QSslSocket* socket = socket_;
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

QString SmtpDialogue::masque(QString texte) const
{
    for (const QString& s : secrets_) {
        texte.replace(s, QStringLiteral("****"));
    }
    return texte;
}

int numeroErreurSocket(QAbstractSocket::SocketError erreur)
{
    switch (erreur) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::OperationError:
        return 10022;
    default:
        // No Winsock counterpart (proxy, TLS, ...): 20000 + Qt's own number keeps it apart.
        return 20000 + static_cast<int>(erreur);
    }
}

} // namespace corvane
