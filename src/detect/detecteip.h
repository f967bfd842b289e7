#pragma once
// The request to the owner's detection page, whose whole body is the public address, with an
// optional second page asked when the first fails.

#include "watch/services.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringView>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace corvane {

// What a detection page's body says: the address it holds, or why it holds none.
struct LectureReponse {
    QString adresse; // empty when the body is not an address
    QString raison;  // short French reason when it is not
};

// The body counts only if, once spaces, tabs, CR and LF are trimmed from both ends, it is an
// IPv4 dotted quad (four decimal numbers 0-255, no leading zeros) or an IPv6 literal (no zone,
// no brackets, no port), and not an unspecified address (0.0.0.0, ::). An IPv6 address comes
// back in its canonical form, so two pages that write it differently give the same text.
LectureReponse lisReponse(QStringView corps);

class DetecteIP : public Detecteur {
    Q_OBJECT
public:
    explicit DetecteIP(QObject* parent = nullptr);
    ~DetecteIP() override;

    void setDelai(int ms);           // bound on each page, 30 000 ms unless set
    void setTailleMax(qint64 bytes); // body cap, 64 KiB unless set

    // Starts one detection. termine() is emitted exactly once, later, from the event loop
    // (never from inside demarre). A detection started while one runs replaces nothing: the
    // caller must wait for termine().
    void demarre(const RequeteDetection& requete) override;
    void demarre(const QString& url) { demarre(RequeteDetection{url, {}, {}, {}}); }
    bool enCours() const override;

private:
    enum class Famille { Toutes, V4, V6 };

    void essaie(const QString& url);
    void va(const QUrl& cible);
    void envoie(const QUrl& cible, const QHostAddress& adresse);
    void enTetes();
    void lit();
    void acheve();
    void suitRedirection(int code);
    QString raisonReseau() const;
    void echoue(const QString& raison);
    void reussit(const QString& adresse);
    void lacheReponse();
    void arreteEssai();
    void fin(ResultatDetection r);
    void refuse(const QString& raison);

    QNetworkAccessManager* nam_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QTimer* chrono_ = nullptr; // bounds each page as a whole, however slowly the bytes come
    int recherche_ = -1;       // id of the running host lookup, -1 when none
    RequeteDetection requete_;
    Famille famille_ = Famille::Toutes;
    QList<QSslCertificate> autorites_; // system CAs and the file's, when a file is given
    bool secours_ = false;             // the second page is the one being asked
    QString raisonPremiere_;           // why the first page failed
    QString urlAffichee_;              // the page being asked, without user and password
    QUrl cible_;                       // the URL being asked, before any address is chosen
    QString hote_;                     // its host name
    int redirections_ = 0;
    QList<QSslError> erreursSsl_;
    QByteArray corps_;
    bool actif_ = false;
    int refusEnAttente_ = 0;
    int delaiMs_ = 30000;
    qint64 tailleMax_ = 64 * 1024;
};

} // namespace corvane
