// RFC 2136 against BIND's named (read back with dig) and a relay before it; dyndns2 over HTTPS.

#include "dns/miseajourdns.h"
#include "support/fakes.h"
#include "support/fichiers.h"
#include "support/peers.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace corvane;
using test::ecrit;

namespace {

QStringList messages; // every debug line of the run: no secret may be in one
QtMessageHandler precedent = nullptr;

void note(QtMsgType type, const QMessageLogContext& contexte, const QString& texte)
{
    messages += texte;
    if (type != QtDebugMsg && type != QtInfoMsg) {
        precedent(type, contexte, texte);
    }
}

// Output of a program run to its end (10 s at most); its arguments hold no secret.
QString sortie(const QString& programme, const QStringList& arguments)
{
    QProcess p;
    p.start(programme, arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// One update from call to report: one termine(), within the bound plus a margin; how long it took.
std::tuple<bool, QString, qint64> metAJour(MiseAJourDns& maj, const ReglagesDns& r,
                                           const QString& adresse)
{
    QSignalSpy spy(&maj, &MiseAJourDns::termine);
    QElapsedTimer chrono;
    chrono.start();
    maj.miseAJour(r, adresse);
    if (!spy.wait(12000) || spy.count() != 1) {
        return {false, "(no single report in time)", chrono.elapsed()};
    }
    return {spy.at(0).at(0).toBool(), spy.at(0).at(1).toString(), chrono.elapsed()};
}

} // namespace

class TestDns : public QObject {
    Q_OBJECT

    QString dig(const QString& nom, const QString& type) const // "TTL address" a record
    {
        QStringList enregistrements;
        for (const QString& l : sortie("dig", {"@127.0.0.1", "-p", QString::number(named_.port()),
                                               "+noall", "+answer", nom, type})
                                    .split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList champs = l.simplified().split(u' ');
            enregistrements += champs.value(1) + u' ' + champs.value(4);
        }
        return enregistrements.join(u'\n');
    }
    ReglagesDns rfc(const QString& nom, quint16 port = 0, const QString& cle = "corvane") const
    {
        ReglagesDns r;
        r.protocole = "rfc2136";
        r.nom = nom;
        r.serveur = QStringLiteral("127.0.0.1:%1").arg(port ? port : named_.port());
        r.cle = "corvane";
        r.secret = secrets_.value(cle);
        r.ttl = "60";
        return r;
    }

    QTemporaryDir dossier_;
    QTemporaryDir fournisseur_;
    QMap<QString, QString> secrets_; // TSIG ones by key name; no debug line may hold one
    test::Peer named_;
    test::Peer tronque_;
    test::Peer nonSigne_;
    test::Peer dyndns_;
    QUdpSocket muet_; // takes datagrams and never answers
    test::Certificats certs_;

private slots:
    void initTestCase()
    {
        precedent = qInstallMessageHandler(note);
        const QString d = dossier_.path();
        const QString cle = sortie("tsig-keygen", {"-a", "hmac-sha256", "corvane"}); // for this run
        secrets_["corvane"] = QRegularExpression("secret \"([^\"]+)\"").match(cle).captured(1);
        QVERIFY2(!secrets_["corvane"].isEmpty(), "tsig-keygen gave no key");
        QVERIFY(ecrit(d + "/cle.conf", cle.toUtf8()));
        secrets_["x"] = QByteArray(32, 'x').toBase64(); // a wrong one
        QByteArray zone = "$TTL 300\n@ SOA ns admin 1 3600 600 86400 300\n@ NS ns\n";
        for (const char* n : {"ns", "a", "aaaa", "cle", "tcp", "faux", "muet", "file", "maison"}) {
            zone += QByteArray(n) + " A 203.0.113.5\n" + n + " AAAA 2001:db8::5\n";
        }
        QVERIFY(ecrit(d + "/example.test", zone) && ecrit(d + "/autre.test", zone));
        const QString conf =
            QStringLiteral(R"(options { directory "%1"; pid-file none; session-keyfile none;
  listen-on { 127.0.0.1; }; listen-on-v6 { none; }; recursion no; dnssec-validation no; };
controls { };
logging { channel f { file "named.log"; severity info; }; category default { f; }; };
include "%1/cle.conf";
zone "example.test" { type primary; file "example.test"; allow-update { key corvane; }; };
zone "autre.test" { type primary; file "autre.test"; };
)");
        QVERIFY(ecrit(d + "/named.conf", conf.arg(d).toUtf8()));
        QVERIFY2(
            named_.start("named", {"-f", "-4", "-n", "1", "-c", d + "/named.conf", "-p", "{port}"}),
            qPrintable(named_.error()));
        // It listens before its zones are loaded.
        QTRY_COMPARE_WITH_TIMEOUT(dig("maison.autre.test", "A"), "300 203.0.113.5", 10000);

        const QString relais = test::sourcePath("tests/dns/relais_dns.py");
        const QString cible = QString::number(named_.port());
        QVERIFY2(tronque_.start("/usr/bin/python3", {relais, "tronque", cible, "{port}"}),
                 qPrintable(tronque_.error()));
        QVERIFY2(nonSigne_.start("/usr/bin/python3", {relais, "nonsigne", cible, "{port}"}),
                 qPrintable(nonSigne_.error()));
        QVERIFY(muet_.bind(QHostAddress::LocalHost, 0));

        certs_ = test::fabriqueCertificats(d);
        QVERIFY2(certs_.erreur.isEmpty(), qPrintable(certs_.erreur));
        secrets_["dyndns2"] = "s3cr3t-dyn";
        secrets_["basic"] = QString::fromLatin1(QByteArray("moi:s3cr3t-dyn").toBase64());
        QVERIFY2(dyndns_.start("/usr/bin/python3",
                               {test::sourcePath("tests/support/https_peer.py"),
                                fournisseur_.path(), "{port}", certs_.cert, certs_.cle}),
                 qPrintable(dyndns_.error()));
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(precedent);
        QVERIFY(messages.join(u'\n').contains(QLatin1String("rfc2136:"))); // the lines were seen
        for (const QString& m : std::as_const(messages)) {
            QVERIFY2(std::none_of(secrets_.begin(), secrets_.end(),
                                  [&](const QString& secret) { return m.contains(secret); }),
                     qPrintable(m));
        }
    }

    void rfc2136_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QString>("adresse");
        QTest::addColumn<QString>("raison"); // "" for success
        QTest::addColumn<quint16>("port");   // 0: named itself
        QTest::addColumn<QString>("cle");    // whose secret signs: "x" a wrong one
        const auto row = [](const char* titre, const char* nom, const char* adresse,
                            const char* raison, quint16 port = 0, const char* cle = "corvane") {
            QTest::newRow(titre) << QString(nom) << QString(adresse) << QString::fromUtf8(raison)
                                 << port << QString(cle);
        };
        row("A", "a.example.test", "198.51.100.7", "");
        row("AAAA, the A record left", "aaaa.example.test", "2001:db8::7", "");
        row("bad secret", "cle.example.test", "198.51.100.7", "clé TSIG refusée (NOTAUTH)", 0, "x");
        row("zone the key may not update", "maison.autre.test", "198.51.100.7",
            "refusé par le serveur (REFUSED)");
        row("truncated over UDP, done over TCP", "tcp.example.test", "198.51.100.9", "",
            tronque_.port());
        row("unsigned answer", "faux.example.test", "198.51.100.7",
            "signature de la réponse invalide", nonSigne_.port());
        row("nothing answers", "muet.example.test", "198.51.100.7",
            "pas de réponse du serveur en 2 s", muet_.localPort());
    }

    void rfc2136()
    {
        QFETCH(QString, nom);
        QFETCH(QString, adresse);
        QFETCH(QString, raison);
        QFETCH(quint16, port);
        QFETCH(QString, cle);
        MiseAJourDns maj(nullptr);
        maj.setDelai(2000);
        const auto [ok, texte, ms] = metAJour(maj, rfc(nom, port, cle), adresse);
        QCOMPARE(texte, raison);
        QCOMPARE(ok, raison.isEmpty());
        QVERIFY(ms < 2 * 2000 + 1000);
        // The other family's record is never touched; a failure leaves the record as it was.
        const bool v6 = adresse.contains(u':');
        QCOMPARE(dig(nom, "A"), v6 || !ok ? "300 203.0.113.5" : "60 " + adresse);
        QCOMPARE(dig(nom, "AAAA"), v6 && ok ? "60 " + adresse : "300 2001:db8::5");
    }

    void laPlusRecenteAttend()
    {
        MiseAJourDns maj(nullptr);
        QSignalSpy spy(&maj, &MiseAJourDns::termine);
        for (const char* a : {"198.51.100.1", "198.51.100.2", "198.51.100.3"}) {
            maj.miseAJour(rfc("file.example.test"), QString::fromLatin1(a));
        }
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 20000);
        QVERIFY(spy.at(0).at(0).toBool() && spy.at(1).at(0).toBool());
        QTest::qWait(300); // the second of three never runs: nothing more comes
        QCOMPARE(spy.count(), 2);
        QCOMPARE(dig("file.example.test", "A"), "60 198.51.100.3");
    }

    void dyndns2_data()
    {
        QTest::addColumn<QString>("page");       // the provider's page, and the name's first label
        QTest::addColumn<QByteArray>("reponse"); // what it answers
        QTest::addColumn<QString>("raison");     // "" for success
        QTest::addColumn<QString>("suite");      // "": the next call is sent; "bloque"; "pause"
        const auto row = [](const char* page, const QString& raison, const char* suite = "",
                            const char* reponse = nullptr) {
            QTest::newRow(page) << page << QByteArray(reponse ? reponse : page) << raison << suite;
        };
        const QString bloque = " ; plus aucun envoi avant un changement des réglages DNS";
        const QString pause = " ; pas de nouvel essai avant le 05/12/2026 06:55:00";
        row("good", {}, "", "good 198.51.100.7");
        row("badauth", "identifiants refusés (badauth)" + bloque, "bloque");
        row("911", "panne chez le fournisseur (911)" + pause, "pause");
        row("lent", "pas de réponse du serveur en 1 s", "", "good 198.51.100.7");
        // An authority that signed nothing here: nothing reaches the provider.
        row("untrusted",
            QStringLiteral("certificat du serveur refusé : The issuer certificate of a "
                           "locally looked up certificate could not be found, No "
                           "certificates could be verified"));
    }

    void dyndns2()
    {
        QFETCH(QString, page);
        QFETCH(QByteArray, reponse);
        QFETCH(QString, raison);
        QFETCH(QString, suite);
        const bool recu = page != u"untrusted"; // reaches the provider
        QVERIFY(ecrit(fournisseur_.filePath(page + ".corps"), reponse));
        QVERIFY(ecrit(fournisseur_.filePath(page + ".attente"), page == u"lent" ? "5" : "0"));
        test::FakeClock horloge; // 05/12/2026 06:45:00
        MiseAJourDns maj(&horloge);
        maj.setDelai(page == u"lent" ? 1000 : 5000);
        ReglagesDns r;
        r.protocole = "dyndns2";
        r.nom = page + ".dyn.example.net";
        r.serveur = QStringLiteral("https://127.0.0.1:%1/nic/%2").arg(dyndns_.port()).arg(page);
        r.utilisateur = "moi";
        r.motDePasse = "s3cr3t-dyn";
        r.certificat = recu ? certs_.ca : certs_.autreCa;
        const auto journal = [&] { return test::journalHttps(fournisseur_.path(), page); };
        auto [ok, texte, ms] = metAJour(maj, r, "198.51.100.7");
        QCOMPARE(texte, raison);
        QCOMPARE(ok, raison.isEmpty());
        const QList<QJsonObject> vus = journal();
        QCOMPARE(vus.size(), recu ? 1 : 0);
        if (recu) {
            QCOMPARE(vus[0]["chemin"].toString(),
                     "/nic/" + page + "?hostname=" + r.nom + "&myip=198.51.100.7");
            QCOMPARE(vus[0]["auth"].toString(), "Basic " + secrets_["basic"]);
            QCOMPARE(vus[0]["agent"].toString(), kAgentDns);
        }
        // What the next call does: held at once (the same reason, nothing sent) or sent.
        horloge.current = horloge.current.addSecs(9 * 60);
        std::tie(ok, texte, ms) = metAJour(maj, r, "198.51.100.8");
        QCOMPARE(journal().size(), vus.size() + (suite.isEmpty() && recu ? 1 : 0));
        if (!suite.isEmpty()) {
            QCOMPARE(texte, raison);
            QVERIFY(ms < 500);
        }
        // A change of settings lifts a hold; the clock past ten minutes lifts a pause.
        r.motDePasse = "autre";
        horloge.current = horloge.current.addSecs(60);
        metAJour(maj, r, "198.51.100.8");
        QCOMPARE(journal().size(), vus.size() + (recu ? (suite.isEmpty() ? 2 : 1) : 0));
    }
};

QTEST_MAIN(TestDns)
#include "tst_dns.moc"
