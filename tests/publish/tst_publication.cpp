// The fragment "ip_actu", the page "date.php", its upload URL, and uploads to real FTP, FTPS
// and SFTP servers, a silent, a trickling one and a closed port.

#include "config/parametres.h"
#include "publish/publication.h"
#include "support/fakesmtp.h"
#include "support/fichiers.h"
#include "support/peers.h"

#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// What a publication reports: each entry on a line of its own, the upload's dots where they fall.
struct Journal {
    QObject contexte; // cuts the connections when the journal goes
    QStringList entrees;
    QString texte;

    explicit Journal(ServicePublication& p)
    {
        QObject::connect(&p, &ServicePublication::entree, &contexte, [this](const QString& e) {
            entrees.append(e);
            texte += u'\n' + e + u'\n';
        });
        QObject::connect(&p, &ServicePublication::texte, &contexte,
                         [this](const QString& t) { texte += t; });
    }
};

// The sixteen items, written out independently of the product code.
QByteArray attendu(const QByteArray& adresse)
{
    return "<?php\r\necho \"<img src=\\\"http://" + adresse +
           ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></img><br><br>\";\r\n?>\r\n";
}

const QString kUser = "webmaster";
// The server's password, with the characters an FTP URL gives a meaning to.
const QString kMotDePasse = "p:a@s/s%23";

// One change of address as the engine runs it with "Upload fichier" on.
void changement(Publication& pub, const QString& ip, const DemandeFtp& d)
{
    QVERIFY(pub.ecrit_ip_actu(ip) && pub.prepare_page(ip));
    pub.envoi_ftp(d);
}

// "key=value;..." over these defaults; "{empreinte}" is the SFTP server's fingerprint.
QHash<QString, QString> reglages(const QString& texte)
{
    QHash<QString, QString> r{{"utilisateur", kUser},
                              {"motDePasse", kMotDePasse},
                              {"chemin", "/date.php"},
                              {"local", "date.php"}};
    for (const QString& paire : texte.split(u';', Qt::SkipEmptyParts)) {
        r.insert(paire.section(u'=', 0, 0), paire.section(u'=', 1));
    }
    return r;
}

} // namespace

class TestPublication : public QObject {
    Q_OBJECT
    struct Dossiers { // new for each test
        DossierDeTravail travail;
        QTemporaryDir serveur; // the FTP account's root
        QTemporaryDir maison;  // $HOME: the user's own known_hosts never decides a row
    };
    std::unique_ptr<Dossiers> d_;
    QTemporaryDir certificatsDir_;
    Certificats certificats_;

    // The upload that the settings of a row give, to 127.0.0.1:port.
    DemandeFtp demande(const QHash<QString, QString>& r, quint16 port,
                       const QString& empreinte = {})
    {
        Parametres p;
        p.NomDomaine = r["utilisateur"];
        p.MotDePasseFtp = r["motDePasse"];
        p.FtpHebergeur = QStringLiteral("127.0.0.1:%1").arg(port);
        p.FichierATransferer = r["local"];
        p.EmplacementFichier = r["chemin"];
        p.ProtocoleFtp = r["protocole"];
        p.EmpreinteHote = QString(r["empreinte"]).replace("{empreinte}", empreinte);
        const QHash<QString, QString> ca{{"ca", certificats_.ca}, {"autre", certificats_.autreCa}};
        p.CertificatFtp = ca.value(r["certificat"], r["certificat"]);
        DemandeFtp d = demandeFtp(p);
        d.supprimeApres = r.contains("supprime");
        return d;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(certificatsDir_.isValid());
        certificats_ = fabriqueCertificats(certificatsDir_.path());
        QVERIFY2(certificats_.erreur.isEmpty(), qPrintable(certificats_.erreur));
    }
    void init()
    {
        d_ = std::make_unique<Dossiers>();
        QVERIFY(d_->travail.ok && d_->serveur.isValid() && d_->maison.isValid());
        qputenv("HOME", QFile::encodeName(d_->maison.path()));
    }
    void cleanup() { d_.reset(); }

    void page_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QByteArray>("item8"); // the address as the fragment holds it
        QTest::addColumn<QByteArray>("gabarit");
        QTest::addColumn<QString>("dossier");     // the file that is a folder instead; empty: none
        QTest::addColumn<QStringList>("entrees"); // the entries, or their start before a reason
        const auto row = [](const char* nom, const QString& ip, const QByteArray& item8,
                            const QByteArray& gabarit, const QString& dossier = {},
                            const QStringList& entrees = {}) {
            QTest::newRow(nom) << ip << item8 << gabarit << dossier << entrees;
        };
        row("ipv4, rtf-like template with LF only, no final line break", "203.0.113.7",
            "203.0.113.7", "{\\rtf1\\ansi {\\fonttbl {\\f0 Arial;}}\nBonjour\\par\n}");
        row("ipv6 in brackets, windows-1252 and NUL in the template",
            "2001:db8:85a3::8a2e:370:7334", "[2001:db8:85a3::8a2e:370:7334]",
            QByteArrayLiteral("<p>\xe9t\xe9 \x80 \x81\x8d\0</p>\r\n"));
        // Nothing may end the PHP string, start a variable or leave the attribute.
        row("hostile answer, empty template", QString("1.2.3.4\"\\${x} ?><") + QChar(0),
            "1.2.3.4%22%5C%24%7Bx%7D%20%3F%3E%3C%00", "");
        row("template unreadable", "203.0.113.7", {}, "gabarit\r\n", "date1.php",
            {"Page non publiée : date1.php illisible ("});
        row("page not writable", "203.0.113.7", {}, "gabarit\r\n", "date.php",
            {"Page non publiée : date.php non écrit ("});
        row("fragment not writable", "203.0.113.7", {}, "gabarit\r\n", "ip_actu",
            {"Fichier ip_actu non écrit : ",
             "Page non publiée : ip_actu non écrit pour l'adresse actuelle"});
    }

    // "date.php" is the template's bytes then the fragment's, whatever the template looks like.
    // A page that cannot be built is said, the old page stays, and nothing is sent after it.
    void page()
    {
        QFETCH(QString, ip);
        QFETCH(QByteArray, item8);
        QFETCH(QByteArray, gabarit);
        QFETCH(QString, dossier);
        QFETCH(QStringList, entrees);
        QVERIFY(ecrit("date.php", "ancienne page\r\n"));
        QVERIFY(ecrit("ip_actu", attendu("198.51.100.1"))); // an earlier change's
        QVERIFY(ecrit("date1.php", gabarit));
        QVERIFY(dossier.isEmpty() || (QFile::remove(dossier) && QDir().mkdir(dossier)));
        Publication pub;
        Journal journal(pub);
        QCOMPARE(pub.ecrit_ip_actu(ip), dossier != u"ip_actu");
        QCOMPARE(pub.prepare_page(ip), dossier.isEmpty());
        QCOMPARE(journal.entrees.size(), entrees.size());
        for (qsizetype i = 0; i < entrees.size(); ++i) {
            QVERIFY2(journal.entrees[i].startsWith(entrees[i]), qPrintable(journal.entrees[i]));
        }
        if (dossier.isEmpty()) {
            QCOMPARE(lit("ip_actu"), attendu(item8));
            QCOMPARE(lit("date.php"), gabarit + attendu(item8));
        } else {
            QVERIFY(dossier == u"date.php" || lit("date.php") == "ancienne page\r\n");
            pub.envoi_ftp(DemandeFtp{});
            QVERIFY(!pub.envoi().occupe());
            QCOMPARE(journal.entrees.size(), entrees.size());
        }
    }

    void urlFtp_data()
    {
        QTest::addColumn<QString>("hebergeur");
        QTest::addColumn<QString>("chemin");
        QTest::addColumn<QString>("url"); // empty: refused
        const auto row = [](const char* nom, const char* hebergeur, const char* chemin,
                            const char* url) { QTest::newRow(nom) << hebergeur << chemin << url; };
        row("relative path, host trimmed", " h ", "www/date.php", "ftp://h/www/date.php");
        row("url characters", "h", "/a b#c?d%e@f:g.php", "ftp://h//a%20b%23c%3fd%25e%40f%3ag.php");
        row("ipv6 bracketed port", "[::1]:2121", "/x.php", "ftp://[::1]:2121//x.php");
        row("credentials in host", "u:p@h", "/x.php", "");
        row("line break in path", "h", "/a\r\nDELE x", "");
    }

    void urlFtp()
    {
        QFETCH(QString, hebergeur);
        QFETCH(QString, chemin);
        QFETCH(QString, url);
        const UrlFtp r = construitUrlFtp(hebergeur, chemin);
        QCOMPARE(r.ok ? QString::fromLatin1(r.url) : QString(), url);
        QCOMPARE(r.erreur.isEmpty(), r.ok);
    }

    void envoi_data();
    void envoi();
    void envoiLentEtChangements();
};

void TestPublication::envoi_data()
{
    // ftp, ftps, sftp, silencieux (never answers), goutte (trickles after the login), arrete
    QTest::addColumn<QString>("serveur");
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("points"); // the dots before the entry; "." alone: not connected
    QTest::addColumn<QString>("entree"); // the entry, or its start

    const auto row = [](const char* nom, const char* serveur, const char* reglages,
                        const char* points, const char* entree) {
        QTest::newRow(nom) << serveur << reglages << points << entree;
    };
    const char* ok = "..Transfert ftp .........";
    const char* refuse = "..Transfert ftp ....";
    const char* injoignable = "..Transfert ftp ...";
    row("ftp, password with :@/", "ftp", "dossier=ma_page;chemin=/ma_page/date.php", ok,
        "Transfert : OK");
    row("ftp, missing remote folder", "ftp", "chemin=/absent/date.php", refuse,
        "Erreur fichier ftp! : fichier refusé par le serveur : 550 ");
    row("ftp, stopped server", "arrete", "", injoignable,
        "Erreur de connexion : connexion impossible : ");
    row("ftp, server never answers", "silencieux", "", injoignable,
        "Erreur de connexion : délai dépassé : ");
    // Each byte that comes is no reply: the wait is not drawn out by them.
    row("ftp, reply trickling past the wait", "goutte", "", refuse,
        "Erreur fichier ftp! : délai dépassé : ");

    row("ftps", "ftps", "protocole=ftps;certificat=ca", ok, "Transfert : OK");
    // The settings window's trial removes what it stored, whatever the path holds.
    row("sftp, removed after, quotes in path", "sftp",
        "protocole=sftp;empreinte={empreinte};dossier=l'\"essai\" \\;chemin=/l'\"essai\" "
        "\\/essai.txt;supprime=1",
        ok, "Transfert : OK");
    // The server's refusal quotes the password it was given.
    row("ftps, wrong password", "ftps", "protocole=FTPS;certificat=ca;motDePasse=mauvais:@/",
        refuse,
        "Erreur de connexion : identifiant ou mot de passe refusé : 530 Login incorrect "
        "(password ****).");
    row("ftps, untrusted certificate", "ftps", "protocole=ftps;certificat=autre", refuse,
        "Erreur de connexion : certificat du serveur non reconnu : ");
    row("ftps, server without TLS", "ftp", "protocole=ftps;certificat=ca", refuse,
        "Erreur de connexion : le serveur refuse TLS : 5");

    row("sftp, known_hosts, path from login folder", "sftp",
        "protocole=sftp;hotesConnus=1;chemin=date.php", ok, "Transfert : OK");
    row("sftp, other fingerprint", "sftp",
        "protocole=sftp;empreinte=256 SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU x", refuse,
        "Erreur de connexion : clé d'hôte différente de l'empreinte attendue : {empreinte}");
    row("sftp, no known_hosts", "sftp", "protocole=sftp", refuse,
        "Erreur de connexion : clé d'hôte inconnue : {empreinte}");

    // Refused from the settings or the local file, at once.
    row("line break in user name", "silencieux", "utilisateur=monsite\rDELE important.php", ".",
        "Erreur de connexion : nom d'utilisateur ftp invalide");
    row("FIFO as the file", "silencieux", "local=fifo.php", ".",
        "Erreur fichier ftp! : fifo.php : pas un fichier ordinaire");
}

void TestPublication::envoi()
{
    QFETCH(QString, serveur);
    QFETCH(QString, reglages);
    QFETCH(QString, points);
    QFETCH(QString, entree);
    const QHash<QString, QString> r = ::reglages(reglages);
    const QString racine = d_->serveur.path();
    QVERIFY(!r.contains("dossier") || QDir(racine).mkdir(r["dossier"]));
    const QDir maison(d_->maison.path());
    const QStringList compte{"{port}", kUser, kMotDePasse, racine};
    QStringList arguments;
    if (serveur == u"ftp") {
        arguments = QString("-m pyftpdlib -i 127.0.0.1 -p {port} -w -d").split(u' ') +
                    QStringList{racine, "-u", kUser, "-P", kMotDePasse};
    } else if (serveur == u"ftps") {
        arguments = QStringList{sourcePath("tests/publish/ftps_peer.py")} + compte +
                    QStringList{certificats_.cert, certificats_.cle};
    } else if (serveur == u"sftp") {
        arguments = QStringList{sourcePath("tests/publish/sftp_peer.py")} + compte +
                    QStringList{maison.filePath("empreinte"), maison.filePath("cle.pub")};
    }
    Peer pair;
    FakeSmtp scripte; // a line server: "silencieux" says nothing, "goutte" logs in and trickles
    quint16 port = freePort(); // "arrete": nothing listens there
    if (!arguments.isEmpty()) {
        QVERIFY2(pair.start("/usr/bin/python3", arguments), qPrintable(pair.error()));
        port = pair.port();
    } else if (serveur != u"arrete") {
        QVERIFY(scripte.ecoute());
        if (serveur == u"goutte") {
            scripte.ajouteScript({"220 ftp\r\n", "331 mot de passe\r\n", "230 entré\r\n",
                                  "257 \"/\"\r\n", "250-z" + QByteArray("|z").repeated(200)});
        }
        port = scripte.adresse().section(u':', 1).toUShort();
    }
    const QString empreinte = QString::fromLatin1(lit(maison.filePath("empreinte")));
    QVERIFY(!r.contains("hotesConnus") ||
            (maison.mkdir(".ssh") && ecrit(maison.filePath(".ssh/known_hosts"),
                                           "[127.0.0.1]:" + QByteArray::number(port) + ' ' +
                                               lit(maison.filePath("cle.pub")))));

    QVERIFY(r["local"] != u"fifo.php" || ::mkfifo("fifo.php", 0600) == 0);
    QVERIFY(ecrit("date1.php", "<?php $start = 1; $stop = 2; ?>\r\n<p>\xe9t\xe9</p>\r\n"));
    DemandeFtp d = demande(r, port, empreinte);
    d.delaiConnexionSec = d.delaiBlocageSec = 3;
    Publication pub;
    Journal journal(pub);

    QElapsedTimer duree;
    duree.start();
    changement(pub, "203.0.113.7", d);
    QTRY_VERIFY_WITH_TIMEOUT(!journal.entrees.isEmpty(), 30000);
    const qint64 attente = duree.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(!pub.envoi().occupe(), 5000);
    QCOMPARE(journal.entrees.size(), 1);
    const QString obtenue = journal.entrees[0];
    QVERIFY2(obtenue.startsWith(entree.replace("{empreinte}", empreinte)), qPrintable(obtenue));
    QCOMPARE(journal.texte, points + "\n" + obtenue + "\n");
    QVERIFY2(attente < 20000, "the upload was not bounded by its time-outs");
    if (points == u".") {
        QVERIFY2(attente < 1000, qPrintable(QString::number(attente)));
        QTest::qWait(100);
        QVERIFY(scripte.connexions.isEmpty());
    }

    const QString distant = racine + u'/' + r["chemin"];
    if (obtenue == u"Transfert : OK" && !d.supprimeApres) {
        QCOMPARE(lit(distant), lit("date.php"));
    } else {
        QVERIFY(!QFile::exists(distant));
        QVERIFY(d.supprimeApres || obtenue.endsWith(" : " + pub.envoi().derniereErreur()));
    }
    QVERIFY(!journal.texte.contains(r["motDePasse"]));
}

// Changes during a slow upload wait; only the newest built page goes next, as it was then. The
// main window going away in the middle of an upload stops it and joins the worker at once.
void TestPublication::envoiLentEtChangements()
{
    Peer ftp; // it notes each whole upload it received in "recus.txt"
    QVERIFY2(
        ftp.start("/usr/bin/python3",
                  {sourcePath("tests/publish/ftp_lent.py"), "{port}", kUser, "pw",
                   d_->serveur.path(), QDir::current().absoluteFilePath("recus.txt"), "40000"}),
        qPrintable(ftp.error()));
    const DemandeFtp d = demande(reglages("motDePasse=pw"), ftp.port());
    // About three seconds of upload at the server's pace.
    const QByteArray gabarit = QByteArray(120000, 'x') + "\r\n";
    QVERIFY(ecrit("date1.php", gabarit));
    auto fenetre = std::make_unique<QObject>(); // the main window owns the publication
    QPointer<Publication> pub = new Publication(fenetre.get());
    Journal journal(*pub);

    changement(*pub, "198.51.100.1", d);
    QTRY_VERIFY_WITH_TIMEOUT(journal.texte.contains("Transfert ftp"), 10000);
    changement(*pub, "198.51.100.2", d);
    QVERIFY(QFile::remove("date1.php"));
    QVERIFY(pub->ecrit_ip_actu("198.51.100.3"));
    QVERIFY(!pub->prepare_page("198.51.100.3"));
    pub->envoi_ftp(d);
    QVERIFY(ecrit("date1.php", gabarit));
    changement(*pub, "198.51.100.4", d);
    const QByteArray derniere = lit("date.php");
    QVERIFY(derniere.contains("198.51.100.4:81/"));
    // The file changes before its upload starts (the owner's editor, a later change).
    QVERIFY(ecrit("date.php", "autre page\r\n"));
    QVERIFY(pub->envoi().occupe() && pub->envoi().enAttente());

    QTRY_VERIFY_WITH_TIMEOUT(journal.entrees.size() == 3, 40000);
    QTRY_VERIFY_WITH_TIMEOUT(!pub->envoi().occupe(), 5000);
    QCOMPARE(journal.entrees, (QStringList{"Page non publiée : date1.php absent", "Transfert : OK",
                                           "Transfert : OK"}));
    QVERIFY(
        journal.texte.endsWith("\nTransfert : OK\n..Transfert ftp .........\nTransfert : OK\n"));
    QCOMPARE(lit(d_->serveur.path() + "/date.php"), derniere);
    QTRY_COMPARE_WITH_TIMEOUT(lit("recus.txt").count('\n'), 2, 5000);

    QVERIFY(ecrit("date1.php", QByteArray(400000, 'x'))); // ten seconds of upload
    changement(*pub, "198.51.100.5", d);
    QTRY_COMPARE_WITH_TIMEOUT(journal.texte.count("Transfert ftp"), 3, 10000);
    QElapsedTimer duree;
    duree.start();
    fenetre.reset();
    QVERIFY(pub.isNull());
    QVERIFY2(duree.elapsed() < 3000, qPrintable(QString::number(duree.elapsed())));
    QTest::qWait(200); // no report may arrive for an object that is gone
    QCOMPARE(journal.entrees.size(), 3);
    QCOMPARE(lit("recus.txt").count('\n'), 2);
}

QTEST_MAIN(TestPublication)
#include "tst_publication.moc"
