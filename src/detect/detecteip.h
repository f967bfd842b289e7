#pragma once
// One request to the owner's detection page, whose whole body is the public address.

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace corvane {

// Text of the error box shown when a detection fails (three lines, CR LF between them).
inline const QString kErreurDetection =
    QStringLiteral("         Erreur internet\r\nou configuration fichier 'Corvane.cfg'!\r\n"
                   " Page et/ou script php non trouv\u00e9");

// Whether a detection page's body, taken as text, can be an address: it must begin with a
// number whose value is not zero ("0.0.0.0", markup and the empty body cannot).
bool reponseAcceptable(const QString& texte);

struct ResultatDetection {
    bool ok = false;
    QString texte;  // the body exactly as received (Windows-1252 bytes as characters), when ok
    QString raison; // why it failed, for tests and the debug log (never shown in the box)
};

class DetecteIP : public QObject {
    Q_OBJECT
public:
    explicit DetecteIP(QObject* parent = nullptr);
    ~DetecteIP() override;

    void setDelai(int ms);           // transfer time-out, 30 000 ms unless set
    void setTailleMax(qint64 bytes); // body cap, 64 KiB unless set

    // Starts one request. termine() is emitted exactly once, later, from the event loop
    // (never from inside demarre). A request started while one runs replaces nothing: the
    // caller must wait for termine().
    void demarre(const QString& url);
    bool enCours() const;

signals:
    void termine(const corvane::ResultatDetection& resultat);

private:
    void fin(ResultatDetection r);
    void refuse(const QString& raison);
    void enTetes();
    void lit();
    void acheve();
    void abandonne();

    QNetworkAccessManager* nam_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QTimer* chrono_ = nullptr; // bounds the whole request, however slowly the bytes come
    QByteArray corps_;
    int refusEnAttente_ = 0;
    int delaiMs_ = 30000;
    qint64 tailleMax_ = 64 * 1024;
};

} // namespace corvane
