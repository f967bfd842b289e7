// Uploads against real FTP servers on 127.0.0.1 (pyftpdlib), a server that never answers and
// a port where nothing listens: the file that lands, the console text, and the password that
// never shows.

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

} // namespace

class TestFtp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void envoi_data();
    void envoi();
    void envoiLentEtChangements();
    void arretPendantEnvoi();

private:
    QString recus() const;
    bool demarreLent(Peer& ftp, const char* octetsParSeconde);

    std::unique_ptr<QTemporaryDir> travail_; // the program's working directory
    std::unique_ptr<QTemporaryDir> serveur_; // the FTP account's root
    QString ancien_;
};

void TestFtp::init()
{
    travail_ = std::make_unique<QTemporaryDir>();
    serveur_ = std::make_unique<QTemporaryDir>();
    QVERIFY(travail_->isValid() && serveur_->isValid());
    ancien_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(travail_->path()));
}

void TestFtp::cleanup()
{
    QDir::setCurrent(ancien_);
    travail_.reset();
    serveur_.reset();
}

void TestFtp::envoi_data()
{
    QTest::addColumn<QString>("serveur"); // "pyftpdlib", "silencieux", "arrete"
    QTest::addColumn<QString>("motDePasse");
    QTest::addColumn<QString>("dossierDistant"); // created on the server when not empty
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("fichierLocal");
    QTest::addColumn<QString>("texte");

    const QString ok = QStringLiteral("..Transfert ftp .........") + entree("Transfert : OK");
    const QString pasConnecte =
        QStringLiteral("..Transfert ftp ...") + entree("Erreur de connexion");
    const auto row = [](const char* nom, const char* serveur, const char* motDePasse,
                        const char* dossier, const char* chemin, const char* local,
                        const QString& texte) {
        QTest::newRow(nom) << QString::fromUtf8(serveur) << QString::fromUtf8(motDePasse)
                           << QString::fromUtf8(dossier) << QString::fromUtf8(chemin)
                           << QString::fromUtf8(local) << texte;
    };
    row("password with :@/", "pyftpdlib", kMotDePasse, "ma_page", "/ma_page/date.php", "date.php",
        ok);
    row("remote path with spaces", "pyftpdlib", kMotDePasse, "mon site",
        "/mon site/date du jour.php", "date.php", ok);
    row("path from login folder", "pyftpdlib", kMotDePasse, "", "date.php", "date.php", ok);
    row("wrong password", "pyftpdlib", "mauvais:@/", "ma_page", "/ma_page/date.php", "date.php",
        QStringLiteral("..Transfert ftp ....") + entree("Erreur de connexion"));
    row("missing remote folder", "pyftpdlib", kMotDePasse, "", "/absent/date.php", "date.php",
        QStringLiteral("..Transfert ftp ....") + entree("Erreur fichier ftp!"));
    row("missing local file", "pyftpdlib", kMotDePasse, "ma_page", "/ma_page/date.php", "autre.php",
        QStringLiteral(".") + entree("Erreur fichier ftp!"));
    row("stopped server", "arrete", kMotDePasse, "", "/date.php", "date.php", pasConnecte);
    row("server never answers", "silencieux", kMotDePasse, "", "/date.php", "date.php",
        pasConnecte);
}

void TestFtp::envoi()
{
    QFETCH(QString, serveur);
    QFETCH(QString, motDePasse);
    QFETCH(QString, dossierDistant);
    QFETCH(QString, chemin);
    QFETCH(QString, fichierLocal);
    QFETCH(QString, texte);

    if (!dossierDistant.isEmpty()) {
        QVERIFY(QDir(serveur_->path()).mkdir(dossierDistant));
    }
    Peer ftp;
    QTcpServer silencieux;
    QList<QTcpSocket*> acceptes;
    quint16 port = 0;
    if (serveur == QStringLiteral("pyftpdlib")) {
        QVERIFY2(ftp.start(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                            QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                            QStringLiteral("{port}"), QStringLiteral("-u"), kUser,
                            QStringLiteral("-P"), QString::fromLatin1(kMotDePasse),
                            QStringLiteral("-d"), serveur_->path(), QStringLiteral("-w")}),
                 qPrintable(ftp.error()));
        port = ftp.port();
    } else if (serveur == QStringLiteral("silencieux")) {
        QVERIFY(silencieux.listen(QHostAddress::LocalHost, 0));
        connect(&silencieux, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* s = silencieux.nextPendingConnection()) {
                acceptes.append(s); // kept open, never spoken to
            }
        });
        port = silencieux.serverPort();
    } else {
        port = corvane::test::freePort();
    }

    QVERIFY(ecrit(QStringLiteral("date1.php"),
                  "<?php $start = 1; $stop = 2; ?>\r\n<p>\xe9t\xe9</p>\r\n"));
    FakeConsole console;
    console.debug = true;
    compte(console, port, motDePasse, fichierLocal, chemin);
    auto pub = std::make_unique<PagePublisher>(console);
    pub->setDelais(3, 3);

    QElapsedTimer duree;
    duree.start();
    changement(console, *pub, kIp);
    QTRY_VERIFY_WITH_TIMEOUT(!console.entries.isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!pub->envoi().occupe(), 5000);
    QCOMPARE(console.text, texte);
    QCOMPARE(console.entries.size(), 1);
    QVERIFY2(duree.elapsed() < 20000, "the upload was not bounded by its time-outs");

    const QString distant = serveur_->path() + QLatin1Char('/') + chemin;
    if (console.entries[0] == QStringLiteral("Transfert : OK")) {
        QCOMPARE(lit(distant), lit(QStringLiteral("date.php")));
    } else {
        QVERIFY(!QFile::exists(distant));
        QVERIFY(!pub->envoi().derniereErreur().isEmpty());
    }

    // The password shows nowhere the user or a log could see it.
    QVERIFY(!console.text.contains(motDePasse));
    QVERIFY(!pub->envoi().derniereErreur().contains(motDePasse));
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
