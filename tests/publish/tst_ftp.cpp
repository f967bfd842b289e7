// Uploads against real servers on 127.0.0.1: pyftpdlib in plain FTP and in explicit TLS,
// asyncssh's SFTP, a server that never answers and a port where nothing listens. What lands on
// the server, the console text with the reason of each failure, and the password that never
// shows.

#include "publish/ftpenvoi.h"
#include "support/fakes.h"
#include "support/peers.h"
#include "ui/pagepublisher.h"
#include "ui/readfiletxtwindow.h"
#include "ui/richtextview.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace corvane;
using corvane::test::FakeConsole;
using corvane::test::Peer;

namespace {

const QString kIp = QStringLiteral("203.0.113.7");
const QString kUser = QStringLiteral("webmaster");
// The server's password, with the characters an FTP URL gives a meaning to.
const char* const kMotDePasse = "p:a@s/s%23";

QByteArray lit(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool ecrit(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QString entree(const QString& libelle, const QString& ip = kIp)
{
    return QStringLiteral("\n") + libelle + QStringLiteral("\r\n<stamp>\r\nIP = ") + ip +
           QStringLiteral("\r\n");
}

// The FTP account of the settings, upload on.
void compte(FakeConsole& console, quint16 port, const QString& motDePasse,
            const QString& local = QStringLiteral("date.php"),
            const QString& chemin = QStringLiteral("/date.php"))
{
    console.upload = true;
    console.params.NomDomaine = kUser;
    console.params.MotDePasseFtp = motDePasse;
    console.params.FtpHebergeur = QStringLiteral("127.0.0.1:%1").arg(port);
    console.params.FichierATransferer = local;
    console.params.EmplacementFichier = chemin;
}

// One change of address as the main window runs it.
void changement(FakeConsole& console, PagePublisher& pub, const QString& ip)
{
    console.ip = ip;
    QVERIFY(pub.ecrit_ip_actu());
    QVERIFY(pub.prepare_page());
    pub.envoi_ftp();
}

// A row's settings, "key=value;..." over these defaults. "{empreinte}" stands for the SFTP
// server's fingerprint; hotesConnus is $HOME/.ssh/known_hosts ("vide", or "serveur": the
// server's key); certificat "ca" is the authority that signed the server's certificate, "autre"
// an unrelated one.
QHash<QString, QString> reglages(const QString& texte)
{
    QHash<QString, QString> r{{QStringLiteral("utilisateur"), kUser},
                              {QStringLiteral("motDePasse"), QString::fromLatin1(kMotDePasse)},
                              {QStringLiteral("chemin"), QStringLiteral("/date.php")},
                              {QStringLiteral("local"), QStringLiteral("date.php")}};
    for (const QString& paire : texte.split(u';', Qt::SkipEmptyParts)) {
        r.insert(paire.section(u'=', 0, 0), paire.section(u'=', 1));
    }
    return r;
}

} // namespace

class TestFtp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void envoi_data();
    void envoi();
    void envoiLentEtChangements();
    void arretPendantEnvoi();

private:
    QString recus() const;
    bool demarreLent(Peer& ftp, const char* octetsParSeconde);

    QTemporaryDir certificatsDir_;
    corvane::test::Certificats certificats_;
    std::unique_ptr<QTemporaryDir> travail_; // the program's working directory
    std::unique_ptr<QTemporaryDir> serveur_; // the FTP account's root
    std::unique_ptr<QTemporaryDir> maison_;  // $HOME during the test
    QByteArray ancienneMaison_;
    QString ancien_;
};

void TestFtp::initTestCase()
{
    QVERIFY(certificatsDir_.isValid());
    certificats_ = corvane::test::fabriqueCertificats(certificatsDir_.path());
    QVERIFY2(certificats_.erreur.isEmpty(), qPrintable(certificats_.erreur));
}

void TestFtp::init()
{
    travail_ = std::make_unique<QTemporaryDir>();
    serveur_ = std::make_unique<QTemporaryDir>();
    maison_ = std::make_unique<QTemporaryDir>();
    QVERIFY(travail_->isValid() && serveur_->isValid() && maison_->isValid());
    ancien_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(travail_->path()));
    // The user's own known_hosts never decides a row.
    ancienneMaison_ = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(maison_->path()));
}

void TestFtp::cleanup()
{
    qputenv("HOME", ancienneMaison_);
    QDir::setCurrent(ancien_);
    travail_.reset();
    serveur_.reset();
    maison_.reset();
}

void TestFtp::envoi_data()
{
    QTest::addColumn<QString>("serveur"); // ftp, ftps, sftp, silencieux (never answers), arrete
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("points"); // the dots before the entry; "." alone: not connected
    QTest::addColumn<QString>("entree"); // the entry, or its start

    const auto row = [](const char* nom, const char* serveur, const char* reglages,
                        const char* points, const char* entree) {
        QTest::newRow(nom) << QString::fromUtf8(serveur) << QString::fromUtf8(reglages)
                           << QString::fromUtf8(points) << QString::fromUtf8(entree);
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

    row("ftps", "ftps", "protocole=ftps;certificat=ca", ok, "Transfert : OK");
    // The server's refusal quotes the password it was given.
    row("ftps, wrong password", "ftps", "protocole=FTPS;certificat=ca;motDePasse=mauvais:@/",
        refuse,
        "Erreur de connexion : identifiant ou mot de passe refusé : 530 Login incorrect "
        "(password ****).");
    row("ftps, untrusted certificate", "ftps", "protocole=ftps;certificat=autre", refuse,
        "Erreur de connexion : certificat du serveur non reconnu : ");
    row("ftps, server without TLS", "ftp", "protocole=ftps;certificat=ca", refuse,
        "Erreur de connexion : le serveur refuse TLS : 5");

    row("sftp, fingerprint, path with spaces", "sftp",
        "protocole=sftp;empreinte={empreinte};dossier=mon site;chemin=/mon site/date du jour.php",
        ok, "Transfert : OK");
    row("sftp, known_hosts, path from login folder", "sftp",
        "protocole=sftp;hotesConnus=serveur;chemin=date.php", ok, "Transfert : OK");
    row("sftp, wrong password", "sftp",
        "protocole=sftp;empreinte={empreinte};motDePasse=mauvais:@/", refuse,
        "Erreur de connexion : identifiant ou mot de passe refusé");
    row("sftp, other fingerprint", "sftp",
        "protocole=sftp;empreinte=256 SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU x", refuse,
        "Erreur de connexion : clé d'hôte différente de l'empreinte attendue : {empreinte}");
    row("sftp, no known_hosts", "sftp", "protocole=sftp", refuse,
        "Erreur de connexion : clé d'hôte inconnue : {empreinte}");
    row("sftp, empty known_hosts", "sftp", "protocole=sftp;hotesConnus=vide", refuse,
        "Erreur de connexion : clé d'hôte inconnue : {empreinte}");
    row("sftp, missing remote folder", "sftp",
        "protocole=sftp;empreinte={empreinte};chemin=/absent/date.php", refuse,
        "Erreur fichier ftp! : fichier refusé par le serveur");

    // Refused from the settings or the local file, at once.
    row("line break in user name", "silencieux", "utilisateur=monsite\rDELE important.php", ".",
        "Erreur de connexion : nom d'utilisateur ftp invalide");
    row("unknown protocol", "silencieux", "protocole=scp", ".",
        "Erreur de connexion : protocole inconnu : « scp »");
    row("unreadable certificate", "silencieux", "protocole=ftps;certificat=absent.pem", ".",
        "Erreur de connexion : certificat ftp absent.pem illisible : fichier absent");
    row("missing local file", "silencieux", "local=autre.php", ".",
        "Erreur fichier ftp! : autre.php : fichier absent");
    row("FIFO as the file", "silencieux", "local=fifo.php", ".",
        "Erreur fichier ftp! : fifo.php : pas un fichier ordinaire");
    row("file over the limit", "silencieux", "local=gros.php", ".",
        "Erreur fichier ftp! : gros.php : fichier trop grand (plus de 16 Mio)");
}

void TestFtp::envoi()
{
    QFETCH(QString, serveur);
    QFETCH(QString, reglages);
    QFETCH(QString, points);
    QFETCH(QString, entree);
    const QHash<QString, QString> r = ::reglages(reglages);
    const QString motDePasse = r[QStringLiteral("motDePasse")];
    const QString chemin = r[QStringLiteral("chemin")];
    const QString local = r[QStringLiteral("local")];

    if (r.contains(QStringLiteral("dossier"))) {
        QVERIFY(QDir(serveur_->path()).mkdir(r[QStringLiteral("dossier")]));
    }
    Peer pair;
    QTcpServer silencieux;
    QList<QTcpSocket*> acceptes;
    quint16 port = corvane::test::freePort(); // nothing listens there
    const QDir maison(maison_->path());
    const QString pw = QString::fromLatin1(kMotDePasse);
    const auto script = [&](const char* nom, const QStringList& fin) {
        return QStringList{
                   corvane::test::sourcePath(QStringLiteral("tests/publish/") + QLatin1String(nom)),
                   QStringLiteral("{port}"), kUser, pw, serveur_->path()} +
               fin;
    };
    QStringList arguments;
    if (serveur == QStringLiteral("ftp")) {
        arguments =
            QStringLiteral("-m pyftpdlib -i 127.0.0.1 -p {port} -w -u").split(u' ') +
            QStringList{kUser, QStringLiteral("-P"), pw, QStringLiteral("-d"), serveur_->path()};
    } else if (serveur == QStringLiteral("ftps")) {
        arguments = script("ftps_peer.py", {certificats_.cert, certificats_.cle});
    } else if (serveur == QStringLiteral("sftp")) {
        arguments = script("sftp_peer.py", {maison.filePath(QStringLiteral("empreinte")),
                                            maison.filePath(QStringLiteral("cle.pub"))});
    }
    if (!arguments.isEmpty()) {
        QVERIFY2(pair.start(QStringLiteral("/usr/bin/python3"), arguments),
                 qPrintable(pair.error()));
        port = pair.port();
    } else if (serveur == QStringLiteral("silencieux")) {
        QVERIFY(silencieux.listen(QHostAddress::LocalHost, 0));
        connect(&silencieux, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* s = silencieux.nextPendingConnection()) {
                acceptes.append(s); // kept open, never spoken to
            }
        });
        port = silencieux.serverPort();
    }
    const QString empreinte =
        QString::fromLatin1(lit(maison.filePath(QStringLiteral("empreinte"))));
    if (r.contains(QStringLiteral("hotesConnus"))) {
        QVERIFY(maison.mkdir(QStringLiteral(".ssh")));
        const QByteArray ligne = r[QStringLiteral("hotesConnus")] == QStringLiteral("serveur")
                                     ? "[127.0.0.1]:" + QByteArray::number(port) + ' ' +
                                           lit(maison.filePath(QStringLiteral("cle.pub")))
                                     : QByteArray();
        QVERIFY(ecrit(maison.filePath(QStringLiteral(".ssh/known_hosts")), ligne));
    }

    QVERIFY(ecrit(QStringLiteral("date1.php"),
                  "<?php $start = 1; $stop = 2; ?>\r\n<p>\xe9t\xe9</p>\r\n"));
    if (local == QStringLiteral("fifo.php")) {
        QCOMPARE(::mkfifo("fifo.php", 0600), 0);
    }
    if (local == QStringLiteral("gros.php")) {
        QFile gros(local);
        QVERIFY(gros.open(QIODevice::WriteOnly) && gros.resize(kTailleMaxEnvoi + 1));
    }
    FakeConsole console;
    console.debug = true;
    compte(console, port, motDePasse, local, chemin);
    Parametres& p = console.params;
    p.NomDomaine = r[QStringLiteral("utilisateur")];
    p.ProtocoleFtp = r[QStringLiteral("protocole")];
    p.EmpreinteHote =
        QString(r[QStringLiteral("empreinte")]).replace(QStringLiteral("{empreinte}"), empreinte);
    const QString certificat = r[QStringLiteral("certificat")];
    p.CertificatFtp = certificat == QStringLiteral("ca")      ? certificats_.ca
                      : certificat == QStringLiteral("autre") ? certificats_.autreCa
                                                              : certificat;
    auto pub = std::make_unique<PagePublisher>(console);
    pub->setDelais(3, 3);

    QElapsedTimer duree;
    duree.start();
    changement(console, *pub, kIp);
    QTRY_VERIFY_WITH_TIMEOUT(!console.entries.isEmpty(), 30000);
    const qint64 attente = duree.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(!pub->envoi().occupe(), 5000);
    QCOMPARE(console.entries.size(), 1);
    const QString obtenue = console.entries[0];
    QVERIFY2(obtenue.startsWith(entree.replace(QStringLiteral("{empreinte}"), empreinte)),
             qPrintable(obtenue));
    QCOMPARE(console.text, points + ::entree(obtenue));
    QVERIFY2(attente < 20000, "the upload was not bounded by its time-outs");
    if (points == QStringLiteral(".")) {
        QVERIFY2(attente < 1000, qPrintable(QString::number(attente)));
        QTest::qWait(100);
        QVERIFY(acceptes.isEmpty());
    }

    const QString distant = serveur_->path() + QLatin1Char('/') + chemin;
    if (obtenue == QStringLiteral("Transfert : OK")) {
        QCOMPARE(lit(distant), lit(QStringLiteral("date.php")));
    } else {
        QVERIFY(!QFile::exists(distant));
        QVERIFY(obtenue.endsWith(QStringLiteral(" : ") + pub->envoi().derniereErreur()));
    }

    // The password shows nowhere the user or a log could see it.
    QVERIFY(!console.text.contains(motDePasse));
    const ReadFileTxtWindow* w = pub->read_file_txt();
    for (const RichTextView* b : {w->RichTextBox1, w->RichTextBox2, w->RichTextBox3}) {
        QVERIFY(!b->text().contains(motDePasse));
    }
    pub.reset();
    qDeleteAll(acceptes);
}

// Changes that come during a slow upload wait for it; only the newest page goes next.
void TestFtp::envoiLentEtChangements()
{
    Peer ftp;
    QVERIFY2(demarreLent(ftp, "40000"), qPrintable(ftp.error()));
    // About three seconds of upload at the server's pace.
    QVERIFY(ecrit(QStringLiteral("date1.php"), QByteArray(120000, 'x') + "\r\n"));
    FakeConsole console;
    compte(console, ftp.port(), QStringLiteral("pw"));
    PagePublisher pub(console);
    pub.setDelais(5, 10);

    changement(console, pub, QStringLiteral("198.51.100.1"));
    QTRY_VERIFY_WITH_TIMEOUT(console.text.contains(QStringLiteral("Transfert ftp")), 10000);
    changement(console, pub, QStringLiteral("198.51.100.2"));
    changement(console, pub, QStringLiteral("198.51.100.3"));
    const QByteArray derniere = lit(QStringLiteral("date.php"));
    QVERIFY(pub.envoi().occupe());
    QVERIFY(pub.envoi().enAttente());
    QVERIFY(console.entries.isEmpty()); // the first upload was still running

    QTRY_VERIFY_WITH_TIMEOUT(console.entries.size() == 2, 40000);
    QTRY_VERIFY_WITH_TIMEOUT(!pub.envoi().occupe(), 5000);
    const QString fait = QStringLiteral("..Transfert ftp .........") +
                         entree("Transfert : OK", QStringLiteral("198.51.100.3"));
    QCOMPARE(console.entries, QStringList(2, QStringLiteral("Transfert : OK")));
    QCOMPARE(console.text, fait + fait);
    QVERIFY(
        derniere.endsWith("198.51.100.3:81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></"
                          "img><br><br>\";\r\n?>\r\n"));
    QCOMPARE(lit(serveur_->path() + QStringLiteral("/date.php")), derniere);
    QTRY_COMPARE_WITH_TIMEOUT(lit(recus()).count('\n'), 2, 5000);
    QFile::remove(recus());
}

// The main window going away in the middle of an upload stops it and joins the worker at once.
void TestFtp::arretPendantEnvoi()
{
    Peer ftp;
    QVERIFY2(demarreLent(ftp, "20000"), qPrintable(ftp.error()));
    QVERIFY(ecrit(QStringLiteral("date1.php"), QByteArray(400000, 'x')));
    FakeConsole console;
    compte(console, ftp.port(), QStringLiteral("pw"));
    auto fenetre = std::make_unique<QWidget>(); // the main window owns the publisher
    QPointer<PagePublisher> pub = new PagePublisher(console, fenetre.get());

    changement(console, *pub, kIp);
    QTRY_VERIFY_WITH_TIMEOUT(console.text.contains(QStringLiteral("Transfert ftp")), 10000);
    QElapsedTimer duree;
    duree.start();
    fenetre.reset();
    QVERIFY(pub.isNull());
    QVERIFY2(duree.elapsed() < 3000, qPrintable(QString::number(duree.elapsed())));
    QTest::qWait(200); // no report may arrive for an object that is gone
    QVERIFY(console.entries.isEmpty());
    QVERIFY(!QFile::exists(recus()));
}

// Where the slow server notes each whole upload it received.
QString TestFtp::recus() const
{
    return travail_->path() + QStringLiteral("/../recus-") +
           QFileInfo(travail_->path()).fileName() + QStringLiteral(".txt");
}

bool TestFtp::demarreLent(Peer& ftp, const char* octetsParSeconde)
{
    return ftp.start(QStringLiteral("/usr/bin/python3"),
                     {corvane::test::sourcePath(QStringLiteral("tests/publish/ftp_lent.py")),
                      QStringLiteral("{port}"), kUser, QStringLiteral("pw"), serveur_->path(),
                      recus(), QString::fromLatin1(octetsParSeconde)});
}

QTEST_MAIN(TestFtp)
#include "tst_ftp.moc"
