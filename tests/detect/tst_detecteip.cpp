// DetecteIP against tests/support/https_peer.py, over HTTP and HTTPS, on 127.0.0.1 and ::1.

#include "detect/detecteip.h"
#include "support/fichiers.h"
#include "support/peers.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <sys/stat.h>

using namespace corvane;

namespace {

// One https_peer.py and the folder its pages are read from.
struct Pair {
    QTemporaryDir dossier;
    test::Peer peer;
    bool tls = false;

    // A page of its own per use, so the journal tells requests apart; autre: "suffix=content".
    QString page(const QByteArray& corps, int statut = 200, const QString& autre = {})
    {
        static int n = 0;
        const QString nom = QStringLiteral("p%1").arg(++n);
        const QString chemin = dossier.filePath(nom);
        const bool ok = test::ecrit(chemin + ".corps", corps) &&
                        test::ecrit(chemin + ".statut", QByteArray::number(statut)) &&
                        (autre.isEmpty() || test::ecrit(chemin + u'.' + autre.section(u'=', 0, 0),
                                                        autre.section(u'=', 1).toLatin1()));
        return ok ? nom : QString();
    }
    QString url(const QString& page, const QString& hote = "127.0.0.1") const
    {
        return QStringLiteral("%1://%2:%3/php/%4?n=1")
            .arg(tls ? "https" : "http", hote)
            .arg(peer.port())
            .arg(page);
    }
    QList<QJsonObject> journal(const QString& page) const
    {
        return test::journalHttps(dossier.path(), page);
    }
};

// One detection: reported once, never from inside demarre, within each page's delai and a margin.
ResultatDetection detecte(const RequeteDetection& requete, int delai = 10000, int pages = 1)
{
    DetecteIP detect;
    detect.setDelai(delai);
    QSignalSpy spy(&detect, &DetecteIP::termine);
    QElapsedTimer chrono;
    chrono.start();
    detect.demarre(requete);
    [&] {
        QCOMPARE(spy.count(), 0);
        QVERIFY(detect.enCours());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, pages * delai + 3000);
        QVERIFY2(chrono.elapsed() < pages * delai + 3000,
                 qPrintable(QString::number(chrono.elapsed())));
        QVERIFY(!detect.enCours());
    }();
    return spy.isEmpty() ? ResultatDetection{} : spy.at(0).at(0).value<ResultatDetection>();
}

QString pasUneAdresse(const QString& extrait)
{
    return QStringLiteral("réponse qui n'est pas une adresse IP : «%1»").arg(extrait);
}

} // namespace

class TestDetecteIP : public QObject {
    Q_OBJECT

    QTemporaryDir certDir_;
    test::Certificats certs_;
    Pair http_;
    Pair https_;

private slots:
    void initTestCase()
    {
        // A proxy set in the test machine's environment must not swallow requests to 127.0.0.1.
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            qunsetenv(name);
        }
        certs_ = test::fabriqueCertificats(certDir_.path());
        QVERIFY2(certs_.erreur.isEmpty(), qPrintable(certs_.erreur));
        QCOMPARE(::mkfifo(qPrintable(certDir_.filePath("fifo")), 0600), 0);
        const QString script = test::sourcePath("tests/support/https_peer.py");
        QVERIFY2(http_.peer.start("/usr/bin/python3", {script, http_.dossier.path(), "{port}"}),
                 qPrintable(http_.peer.error()));
        https_.tls = true;
        QVERIFY2(https_.peer.start("/usr/bin/python3", {script, https_.dossier.path(), "{port}",
                                                        certs_.cert, certs_.cle}),
                 qPrintable(https_.peer.error()));
    }

    void detection_data()
    {
        QTest::addColumn<QByteArray>("corps"); // "{client}": the caller's address
        QTest::addColumn<QString>("adresse");
        // "{chemin}" the certificate's path; a final "…": the start of the reason
        QTest::addColumn<QString>("raison");
        QTest::addColumn<int>("statut");    // 0: nobody listens
        QTest::addColumn<QString>("autre"); // as Pair::page's; "{suite}": a page answering .4
        QTest::addColumn<int>("secours");   // status of a second page answering .5; 0: none
        QTest::addColumn<QString>("famille");
        QTest::addColumn<QString>("hote");
        // "ca", "autreCa" or "fifo": the page is asked over TLS; empty: over plain HTTP
        QTest::addColumn<QString>("certificat");
        const auto row = [](const char* nom, const QByteArray& corps, const char* adresse,
                            const QString& raison, int statut = 200, const char* autre = "",
                            int secours = 0) {
            QTest::newRow(nom) << corps << QString::fromLatin1(adresse) << raison << statut
                               << QString::fromLatin1(autre) << secours << QString()
                               << QString("127.0.0.1") << QString();
        };
        // The page answers with the caller's address: it shows the family the request came by.
        const auto via = [](const char* nom, const char* famille, const char* hote,
                            const char* certificat, const char* adresse, const QString& raison) {
            QTest::newRow(nom) << QByteArray("{client}") << QString::fromLatin1(adresse) << raison
                               << 200 << QString() << 0 << QString::fromLatin1(famille)
                               << QString::fromLatin1(hote) << QString::fromLatin1(certificat);
        };
        row("trimmed, fallback not asked", " \t203.0.113.7 \r\n", "203.0.113.7", {}, 200, "", 200);
        row("IPv6 in its canonical form", "2001:DB8:0::5\n", "2001:db8::5", {});
        // inet_aton's short form, which other parsers take.
        row("short IPv4 form", "10.1.2", "", pasUneAdresse("10.1.2"));
        // Qt's own reader takes this as 31:c:1d31:c:81d:b:d:b, dropping the ninth group.
        row("nine IPv6 groups then ::", "31:c:1d31:c:81d:b:d:b:d0::", "",
            pasUneAdresse("31:c:1d31:c:81d:b:d:b:d0::"));
        row("status line as body", "404 Not Found", "", pasUneAdresse("404 Not Found"));
        row("IPv4 unspecified", "0.0.0.0", "", "adresse non spécifiée (0.0.0.0)");
        row("blanks only", "\r\n \t", "", "réponse vide");
        row("404 with an address, second page", "203.0.113.7", "198.51.100.5", {}, 404, "", 200);
        row("both fail", "", "", "connexion refusée ; secours : HTTP 404", 0, "", 404);
        row("relative redirect followed", "", "198.51.100.4", {}, 302, "lieu={suite}");
        row("silent server", "203.0.113.7", "", "délai dépassé (500 ms)", 200, "attente=5");
        // Each byte restarts Qt's transfer time-out; only the bound on the whole page ends it.
        row("bytes trickling past the bound", "203.0.113.7", "", "délai dépassé (500 ms)", 200,
            "goutte=0.1");
        // 256 MiB sent without end: cut off at the cap, not read to its end.
        row("flood", "", "", "réponse trop longue", 200, "flot=268435456");
        via("signed by another CA", "", "127.0.0.1", "autreCa", "", "certificat non reconnu : …");
        via("Certificat a FIFO nobody writes", "", "127.0.0.1", "fifo", "",
            "certificat illisible : {chemin} (…");
        via("ipv4 by name over TLS", "ipv4", "localhost", "ca", "127.0.0.1", {});
        via("ipv6", "IPv6", "[::1]", "", "::1", {});
        via("ipv6 asked of an IPv4 literal", "ipv6", "127.0.0.1", "", "",
            "aucune adresse IPv6 pour 127.0.0.1");
    }

    // Each URL carries a password, which no reason and no shown URL may hold.
    void detection()
    {
        QFETCH(QByteArray, corps);
        QFETCH(QString, adresse);
        QFETCH(QString, raison);
        QFETCH(int, statut);
        QFETCH(QString, autre);
        QFETCH(int, secours);
        QFETCH(QString, famille);
        QFETCH(QString, hote);
        QFETCH(QString, certificat);
        if (QTcpServer v6; hote == u"[::1]" && !v6.listen(QHostAddress::LocalHostIPv6)) {
            QSKIP("this machine has no ::1");
        }
        const QMap<QString, QString> fichiers{
            {"ca", certs_.ca}, {"autreCa", certs_.autreCa}, {"fifo", certDir_.filePath("fifo")}};
        certificat = fichiers.value(certificat);
        raison.replace("{chemin}", certificat);
        Pair& pair = certificat.isEmpty() ? http_ : https_;
        const int delai = autre.startsWith("attente") || autre.startsWith("goutte") ? 500 : 10000;
        const QString suite = pair.page("198.51.100.4");
        const QString page = pair.page(corps, statut, autre.replace("{suite}", suite));
        const QString p2 = pair.page("198.51.100.5", secours);
        QString nulle = QStringLiteral("http://127.0.0.1:%1/ip").arg(test::freePort());
        const QString url1 =
            (statut ? pair.url(page, hote) : nulle).replace("://", "://moi:secret1@");
        const QString url2 = secours ? pair.url(p2).replace("://", "://moi:secret2@") : QString();
        const auto r = detecte({url1, url2, famille, certificat}, delai, secours ? 2 : 1);
        if (raison.endsWith(u'…')) {
            raison.chop(1);
            QVERIFY2(!r.ok && r.raison.startsWith(raison) && r.raison.size() > raison.size() + 10,
                     qPrintable(r.raison));
        } else {
            QVERIFY2(r.ok == raison.isEmpty(), qPrintable(r.raison));
            QCOMPARE(r.texte, adresse);
            QCOMPARE(r.raison, raison);
        }
        const bool viaSecours = raison.contains("secours") || adresse == "198.51.100.5";
        QCOMPARE(r.secours, viaSecours);
        // An unusable CA file asks nothing, so no URL answered.
        QString vue = raison.startsWith("certificat illisible") ? "" : viaSecours ? url2 : url1;
        QCOMPARE(r.url, vue.remove(QRegularExpression("moi:.*@")));
        QCOMPARE(pair.journal(p2).size(), viaSecours ? 1 : 0);
        if (r.ok && pair.tls) {
            // Sent to the chosen address, yet named and checked as the URL's host.
            const QJsonObject vu = pair.journal(page).value(0);
            QCOMPARE(vu.value("host").toString(), hote + u':' + QString::number(pair.peer.port()));
            QCOMPARE(vu.value("sni").toString(), hote);
        }
        if (autre.startsWith("flot")) { // what the server could send before the connection went
            QTRY_COMPARE_WITH_TIMEOUT(pair.journal(page).size(), 2, 10000);
            const qint64 envoye = pair.journal(page)[1].value("envoye").toInteger();
            QVERIFY2(envoye < 32 * 1024 * 1024, qPrintable(QString::number(envoye)));
        }
    }

    // A settings window closed during its trial detection destroys the detector mid-request.
    void detruitEnCours()
    {
        const QString page = http_.page("203.0.113.7", 200, "attente=5");
        auto detect = std::make_unique<DetecteIP>();
        QSignalSpy spy(detect.get(), &DetecteIP::termine);
        detect->demarre(http_.url(page));
        QTRY_COMPARE_WITH_TIMEOUT(http_.journal(page).size(), 1, 5000);
        detect.reset();
        QTest::qWait(100); // the aborted reply's late events must find nothing to call
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDetecteIP)
#include "tst_detecteip.moc"
