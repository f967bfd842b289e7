// The detection request against a scripted server and against the shipped PHP page.

#include "detect/detecteip.h"
#include "support/fakehttp.h"
#include "support/peers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using corvane::DetecteIP;
using corvane::ResultatDetection;
using corvane::test::FakeHttp;
using Response = FakeHttp::Response;

Q_DECLARE_METATYPE(FakeHttp::Response)

namespace {

ResultatDetection resultat(const QSignalSpy& spy, int i = 0)
{
    return spy.at(i).at(0).value<ResultatDetection>();
}

QByteArray adressePuisRemplissage(qsizetype taille)
{
    QByteArray body = "203.0.113.7\n";
    body += QByteArray(taille - body.size(), 'x');
    return body;
}

} // namespace

class TestDetecteIP : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void reponses_data();
    void reponses();
    void sansServeur_data();
    void sansServeur();
    void enTetesSurLeFil();
    void fluxCoupeAuPlafond();
    void secondeDemandePendantUneAutre();
    void relanceDepuisTermine();
    void destructionPendantUneDemande();
    void pagePhpLivree();
};

void TestDetecteIP::initTestCase()
{
    // The system proxy is honoured; a proxy set in the test machine's environment must not
    // swallow requests meant for 127.0.0.1.
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        qunsetenv(name);
    }
}

void TestDetecteIP::reponses_data()
{
    QTest::addColumn<Response>("reponse");
    QTest::addColumn<int>("delai");
    QTest::addColumn<qint64>("tailleMax");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("avantMs"); // the answer must come within this time

    const qint64 cap = 64 * 1024;
    QTest::newRow("bare address") << Response::ok("203.0.113.7") << 30000 << cap << true
                                  << "203.0.113.7" << 5000;
    QTest::newRow("trailing line break kept")
        << Response::ok("203.0.113.7\n") << 30000 << cap << true << "203.0.113.7\n"
        << 5000;
    QTest::newRow("CR LF and leading blanks kept")
        << Response::ok(" \t203.0.113.7\r\n") << 30000 << cap << true << " \t203.0.113.7\r\n"
        << 5000;
    QTest::newRow("Windows-1252 bytes as characters")
        << Response::ok("203.0.113.7 \xe9\x80") << 30000 << cap << true
        << QStringLiteral("203.0.113.7 \u00e9\u20ac") << 5000;
    QTest::newRow("empty body") << Response::ok("") << 30000 << cap << false << "" << 5000;
    QTest::newRow("204 no content")
        << Response::status(204, "") << 30000 << cap << false << "" << 5000;
    QTest::newRow("markup") << Response::ok("<html><body>203.0.113.7</body></html>") << 30000 << cap
                            << false << "" << 5000;
    QTest::newRow("0.0.0.0") << Response::ok("0.0.0.0") << 30000 << cap << false << "" << 5000;
    QTest::newRow("404 with a numeric body")
        << Response::status(404, "203.0.113.7") << 30000 << cap << false << "" << 5000;
    QTest::newRow("500") << Response::status(500, "203.0.113.7") << 30000 << cap << false << ""
                         << 5000;
    QTest::newRow("redirect not followed to a body")
        << Response::raw("HTTP/1.1 302 Found\r\nContent-Length: 11\r\n\r\n203.0.113.7") << 30000
        << cap << false << "" << 5000;
    QTest::newRow("HTTP/1.0 without length, ended by close")
        << Response::raw("HTTP/1.0 200 OK\r\n\r\n198.51.100.4") << 30000 << cap << true
        << "198.51.100.4" << 5000;
    QTest::newRow("not HTTP at all")
        << Response::raw("203.0.113.7\r\n\r\n") << 30000 << cap << false << "" << 5000;
    QTest::newRow("large body under the cap gathered whole")
        << Response::ok(adressePuisRemplissage(60000)) << 30000 << cap << true
        << QString::fromLatin1(adressePuisRemplissage(60000)) << 5000;
    QTest::newRow("body exactly at a set cap")
        << Response::ok(adressePuisRemplissage(1024)) << 30000 << qint64(1024) << true
        << QString::fromLatin1(adressePuisRemplissage(1024)) << 5000;
    QTest::newRow("body one byte past a set cap") << Response::ok(adressePuisRemplissage(1025))
                                                  << 30000 << qint64(1024) << false << "" << 5000;
    QTest::newRow("body past the cap, no length given")
        << Response::flood(cap + 1, "203.0.113.7\n") << 30000 << cap << false << "" << 5000;
    QTest::newRow("accepts and never answers")
        << Response::silent() << 300 << cap << false << "" << 3000;
    QTest::newRow("close at once") << Response::close() << 30000 << cap << false << "" << 5000;
    QTest::newRow("slow bytes within the bound gathered")
        << Response::trickle("203.0.113.7", 20) << 5000 << cap << true << "203.0.113.7" << 5000;
    // Each byte resets the transfer time-out; only the bound on the whole request ends it.
    QTest::newRow("trickle past the whole-request bound")
        << Response::trickle("203.0.113.7", 100) << 500 << cap << false << "" << 3000;
}

void TestDetecteIP::reponses()
{
    QFETCH(Response, reponse);
    QFETCH(int, delai);
    QFETCH(qint64, tailleMax);
    QFETCH(bool, ok);
    QFETCH(QString, texte);
    QFETCH(int, avantMs);

    FakeHttp http;
    QVERIFY(http.isListening());
    http.setResponse(reponse);
    DetecteIP detect;
    detect.setDelai(delai);
    detect.setTailleMax(tailleMax);
    QSignalSpy spy(&detect, &DetecteIP::termine);

    QElapsedTimer chrono;
    chrono.start();
    detect.demarre(http.url());
    QCOMPARE(spy.count(), 0); // never from inside demarre
    QVERIFY(detect.enCours());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, avantMs);
    QVERIFY2(chrono.elapsed() < avantMs, qPrintable(QString::number(chrono.elapsed())));
    QVERIFY(!detect.enCours());

    const ResultatDetection r = resultat(spy);
    QVERIFY2(r.ok == ok, qPrintable(r.raison));
    QCOMPARE(r.texte, texte);
    QCOMPARE(r.raison.isEmpty(), ok);
    QTest::qWait(150);
    QCOMPARE(spy.count(), 1);
}

void TestDetecteIP::sansServeur_data()
{
    QTest::addColumn<QString>("url");

    const quint16 libre = corvane::test::freePort();
    QVERIFY(libre != 0);
    QTest::newRow("refused connection") << QStringLiteral("http://127.0.0.1:%1/ip").arg(libre);
    QTest::newRow("unknown host") << QStringLiteral("http://corvane-test.invalid/php/ip_check.php");
    QTest::newRow("not a URL") << QStringLiteral("pas une adresse");
    QTest::newRow("not HTTP") << QStringLiteral("ftp://127.0.0.1/ip_check.php");
    QTest::newRow("empty") << QString();
}

void TestDetecteIP::sansServeur()
{
    QFETCH(QString, url);

    DetecteIP detect;
    detect.setDelai(2500); // even a resolver that never answers cannot hold it longer
    QSignalSpy spy(&detect, &DetecteIP::termine);
    QElapsedTimer chrono;
    chrono.start();
    detect.demarre(url);
    QCOMPARE(spy.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 4000);
    QVERIFY(!resultat(spy).ok);
    QVERIFY(!resultat(spy).raison.isEmpty());
    QVERIFY(resultat(spy).texte.isEmpty());
    QTest::qWait(100);
    QCOMPARE(spy.count(), 1);
}

void TestDetecteIP::enTetesSurLeFil()
{
    FakeHttp http;
    http.setResponse(Response::ok("203.0.113.7"));
    DetecteIP detect;
    QSignalSpy spy(&detect, &DetecteIP::termine);
    detect.demarre(http.url(QStringLiteral("/php/ip_check.php?n=1")));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QVERIFY(resultat(spy).ok);

    QCOMPARE(http.requests().size(), 1);
    const FakeHttp::Request req = http.requests().first();
    QCOMPARE(req.method, QByteArray("GET"));
    QCOMPARE(req.path, QByteArray("/php/ip_check.php?n=1"));
    QCOMPARE(req.header("User-Agent"), QByteArray("toto"));
    QCOMPARE(req.count("User-Agent"), 1);
    QCOMPARE(req.header("Cache-Control"), QByteArray("no-cache"));
    QCOMPARE(req.count("Cache-Control"), 1);
    QCOMPARE(req.header("Pragma"), QByteArray("no-cache"));
    QVERIFY(req.header("If-Modified-Since").isNull());
    QVERIFY(req.header("If-None-Match").isNull());
}

void TestDetecteIP::fluxCoupeAuPlafond()
{
    // A page gone mad that sends without end is cut off at the cap, not read to its end.
    const qint64 enorme = 256LL * 1024 * 1024;
    FakeHttp http;
    http.setResponse(Response::flood(enorme, "203.0.113.7\n"));
    DetecteIP detect;
    QSignalSpy spy(&detect, &DetecteIP::termine);
    detect.demarre(http.url());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QVERIFY(!resultat(spy).ok);
    QVERIFY2(resultat(spy).raison.contains(QLatin1String("65536")),
             qPrintable(resultat(spy).raison));
    QTest::qWait(200);
    QVERIFY2(http.bodyBytesSent() < enorme / 8, qPrintable(QString::number(http.bodyBytesSent())));
}

void TestDetecteIP::secondeDemandePendantUneAutre()
{
    FakeHttp http;
    http.setResponse(Response::trickle("203.0.113.7", 10));
    DetecteIP detect;
    QSignalSpy spy(&detect, &DetecteIP::termine);
    detect.demarre(http.url());
    detect.demarre(http.url());
    QCOMPARE(spy.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
    // The second call is refused at once; the first runs to its end untouched.
    QVERIFY(!resultat(spy, 0).ok);
    QVERIFY(resultat(spy, 1).ok);
    QCOMPARE(resultat(spy, 1).texte, QStringLiteral("203.0.113.7"));
    QCOMPARE(http.requests().size(), 1);
    QVERIFY(!detect.enCours());
}

void TestDetecteIP::relanceDepuisTermine()
{
    FakeHttp http;
    http.enqueue(Response::ok("203.0.113.7"));
    http.enqueue(Response::ok("198.51.100.4"));
    DetecteIP detect;
    QList<ResultatDetection> vus;
    connect(&detect, &DetecteIP::termine, this, [&](const ResultatDetection& r) {
        vus.append(r);
        if (vus.size() == 1) {
            detect.demarre(http.url());
        }
    });
    detect.demarre(http.url());
    QTRY_COMPARE_WITH_TIMEOUT(vus.size(), 2, 5000);
    QVERIFY2(vus[1].ok, qPrintable(vus[1].raison));
    QCOMPARE(vus[0].texte, QStringLiteral("203.0.113.7"));
    QCOMPARE(vus[1].texte, QStringLiteral("198.51.100.4"));
}

void TestDetecteIP::destructionPendantUneDemande()
{
    FakeHttp http;
    http.setResponse(Response::silent());
    auto detect = std::make_unique<DetecteIP>();
    QSignalSpy spy(detect.get(), &DetecteIP::termine);
    detect->demarre(http.url());
    QTRY_COMPARE_WITH_TIMEOUT(http.requests().size(), 1, 5000);
    detect.reset();
    QTest::qWait(100); // the aborted reply's late events must find nothing to call
    QCOMPARE(spy.count(), 0);
}

void TestDetecteIP::pagePhpLivree()
{
    const QString script = corvane::test::sourcePath(QStringLiteral("resources/ip_check.php"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray source = f.readAll();
    // Anything after the code, even one line break, would become part of the address.
    QVERIFY(source.endsWith(';'));
    QVERIFY(!source.contains("?>"));

    corvane::test::Peer php;
    QVERIFY2(corvane::test::startPhp(php, QFileInfo(script).absolutePath()),
             qPrintable(php.error()));
    const QString url = QStringLiteral("http://127.0.0.1:%1/ip_check.php").arg(php.port());

    DetecteIP detect;
    detect.setDelai(10000);
    QSignalSpy spy(&detect, &DetecteIP::termine);
    detect.demarre(url);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 12000);
    QVERIFY2(resultat(spy).ok, qPrintable(resultat(spy).raison));
    QCOMPARE(resultat(spy).texte, QStringLiteral("127.0.0.1"));

    // The page itself forbids any cache on the way to keep an old address.
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(QUrl(url))));
    QSignalSpy fini(reply.get(), &QNetworkReply::finished);
    QVERIFY(fini.wait(10000));
    QVERIFY(reply->rawHeader("Cache-Control").contains("no-store"));
    QVERIFY(reply->header(QNetworkRequest::ContentTypeHeader)
                .toString()
                .startsWith(QLatin1String("text/plain")));
    php.stop();
}

QTEST_GUILESS_MAIN(TestDetecteIP)
#include "tst_detecteip.moc"
