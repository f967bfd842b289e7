#pragma once
// Keeps a DNS name pointing at the new address: an RFC 2136 update signed with a TSIG key,
// sent to the zone's server and then checked by asking that server, or the dyndns2 request of
// the common dynamic-DNS providers over HTTPS. One update at a time; every wait is bounded.

#include "dns/messagedns.h"
#include "watch/services.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QString>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace corvane {

class Clock;

// What dyndns2 providers are told the client is: they ask for a name, a version and a way to
// reach whoever runs it.
inline const QString kAgentDns = QStringLiteral("Corvane/1.05 (contact in README)");

class MiseAJourDns : public ServiceDns {
    Q_OBJECT
public:
    // horloge dates the dyndns2 providers' "come back later"; the system's time when null.
    explicit MiseAJourDns(Clock* horloge, QObject* parent = nullptr);
    ~MiseAJourDns() override;

    // Bound on each exchange with a server (lookup included): 10 000 ms unless set.
    void setDelai(int ms);

    // Points reglages.nom at adresse (IPv4: A record, IPv6: AAAA). termine() follows, later,
    // from the event loop. While an update runs, the call waits for it; a later call replaces
    // the one waiting, which then never runs and reports nothing: only the newest address
    // matters.
    void miseAJour(const ReglagesDns& reglages, const QString& adresse) override;
    bool enCours() const { return actif_; }

private:
    struct Demande {
        ReglagesDns reglages;
        QString adresse;
    };
    enum class Etape { Aucune, Resolution, MiseAJour, Verification, Http };

    void lance(const Demande& d);
    void refuse(const QString& raison);
    void fin(bool ok, const QString& raison);
    void arrete();
    void expire();

    void demarreRfc2136(const Demande& d);
    void envoieDns(bool tcp);
    void lisDatagrammes();
    void lisTcp();
    void traiteDns(const QByteArray& octets);
    QString raisonSocket(int erreur) const;

    void demarreDyndns2(const Demande& d);
    void lisHttp();
    void acheveHttp();

    Clock* horloge_ = nullptr;
    int delaiMs_ = 10000;
    bool actif_ = false;
    std::optional<Demande> attente_;
    QTimer* chrono_ = nullptr; // bounds the exchange under way
    Etape etape_ = Etape::Aucune;

    // RFC 2136
    int recherche_ = -1; // id of the server's host lookup, -1 when none
    QUdpSocket* udp_ = nullptr;
    QTcpSocket* tcp_ = nullptr;
    QByteArray tamponTcp_;
    QHostAddress serveur_;
    quint16 port_ = 53;
    QString nom_;
    QHostAddress adresse_;
    quint32 ttl_ = 300;
    QString zone_;
    dns::CleTsig cle_;
    dns::Message requete_;

    // dyndns2
    QNetworkAccessManager* nam_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QByteArray corps_;
    QList<QSslError> erreursSsl_;
    ReglagesDns reglagesHttp_; // the settings of the request under way
    // A refusal that retrying cannot mend: nothing is sent again until the settings change.
    std::optional<ReglagesDns> bloque_;
    QString raisonBlocage_;
    // The provider's own trouble: nothing is sent before this time.
    QDateTime reprise_;
    QString raisonPause_;
};

} // namespace corvane
