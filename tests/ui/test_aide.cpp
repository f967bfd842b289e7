// The help window: the language of the steps and the setting it leaves, the legend, the
// sample configuration it shows (which the program must really load), and its links.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "support/fakes.h"
#include "ui/aide.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

QByteArray lireFichier(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

QString source(const char* relatif)
{
    return QStringLiteral(CORVANE_SOURCE_DIR "/") + QLatin1String(relatif);
}

// The configuration part of each line shown in RT1: what stands before the notes, which are
// set off by a TAB; lines that hold only a note are left out.
QStringList lignesConfig(const QString& affiche)
{
    QStringList lignes;
    for (QString ligne :
         affiche.split(QRegularExpression(QStringLiteral("\r\n|[\n\u2028\u2029]")))) {
        ligne = ligne.section(u'\t', 0, 0);
        while (ligne.endsWith(u' ')) {
            ligne.chop(1);
        }
        if (!ligne.isEmpty()) {
            lignes.append(ligne);
        }
    }
    return lignes;
}

bool montreFrancais(const Aide& a)
{
    return !a.rt2()->isHidden() && a.rt2eng()->isHidden();
}
bool montreAnglais(const Aide& a)
{
    return a.rt2()->isHidden() && !a.rt2eng()->isHidden();
}

} // namespace

class TestAide : public QObject {
    Q_OBJECT
private slots:
    void langueAuChargement_data();
    void langueAuChargement();
    void imagesChangentLaLangue();
    void langueGardeeALaReouverture();
    void legende();
    void exempleEstLeFichierLivre();
    void exempleSeCharge();
    void adressesFictives();
    void seulLienDesEtapes_data();
    void seulLienDesEtapes();
};

void TestAide::langueAuChargement_data()
{
    QTest::addColumn<QString>("langage");
    QTest::addColumn<bool>("francais");
    QTest::newRow("non") << QStringLiteral("non") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("oui") << QStringLiteral("oui") << false;
    QTest::newRow("NON") << QStringLiteral("NON") << false;
    QTest::newRow("Non") << QStringLiteral("Non") << false;
    QTest::newRow("non with a blank") << QStringLiteral("non ") << false;
    QTest::newRow("other") << QStringLiteral("breton") << false;
}

void TestAide::langueAuChargement()
{
    QFETCH(QString, langage);
    QFETCH(bool, francais);
    Parametres p;
    p.LangageInt = langage;
    test::FakeLinks links;
    Aide a(p, links);
    QVERIFY(francais ? montreFrancais(a) : montreAnglais(a));
    QCOMPARE(a.rt2()->geometry(), a.rt2eng()->geometry());
    QCOMPARE(p.LangageInt, langage); // loading writes nothing
}

void TestAide::imagesChangentLaLangue()
{
    Parametres p;
    p.LangageInt = QStringLiteral("non");
    test::FakeLinks links;
    Aide a(p, links);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    QVERIFY(montreFrancais(a));

    QTest::mouseClick(a.image2(), Qt::LeftButton);
    QVERIFY(montreAnglais(a));
    QCOMPARE(p.LangageInt, QStringLiteral("oui"));

    // A press that ends outside the picture is no click.
    QTest::mousePress(a.image1(), Qt::LeftButton);
    QTest::mouseRelease(a.image1(), Qt::LeftButton, {}, QPoint(-5, -5));
    QVERIFY(montreAnglais(a));
    QCOMPARE(p.LangageInt, QStringLiteral("oui"));

    QTest::mouseClick(a.image1(), Qt::LeftButton);
    QVERIFY(montreFrancais(a));
    QCOMPARE(p.LangageInt, QStringLiteral("non"));

    // French again while French shows: nothing moves on screen, "non" is written again.
    p.LangageInt = QStringLiteral("autre");
    QTest::mouseClick(a.image1(), Qt::LeftButton);
    QVERIFY(montreFrancais(a));
    QCOMPARE(p.LangageInt, QStringLiteral("non"));
    QVERIFY(links.opened.isEmpty());
}

void TestAide::langueGardeeALaReouverture()
{
    Parametres p;
    p.LangageInt = QStringLiteral("non");
    test::FakeLinks links;

    QPointer<Aide> a = new Aide(p, links);
    a->setAttribute(Qt::WA_DeleteOnClose);
    a->show();
    QVERIFY(QTest::qWaitForWindowExposed(a));
    a->Image2_Click();
    a->close();
    QTRY_VERIFY_WITH_TIMEOUT(a.isNull(), 2000);
    QCOMPARE(p.LangageInt, QStringLiteral("oui"));

    QPointer<Aide> b = new Aide(p, links);
    b->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(montreAnglais(*b));
    b->Image1_Click();
    b->close();
    QTRY_VERIFY_WITH_TIMEOUT(b.isNull(), 2000);

    Aide c(p, links);
    QVERIFY(montreFrancais(c));
}

void TestAide::legende()
{
    Parametres p;
    test::FakeLinks links;
    Aide a(p, links);
    a.label2()->setText(QStringLiteral("ancien\r\ncontenu"));
    a.Form_Load();
    const QString attendu = QStringLiteral(
        "Paramètre en rouge : pour la détection de l'IP\r\n"
        "Paramètres en orange : pour l'upload ftp et/ou le transfert de mail\r\n"
        "Paramètres en grisé : option du logiciel et/ou non utilisé dans cette version");
    QCOMPARE(a.label2()->text(), attendu);
    QCOMPARE(a.label2()->text().split(QStringLiteral("\r\n")).size(), 3);
}

// The sample shown in RT1 is the file shipped beside it, line for line, in Windows-1252 with
// CR LF line ends.
void TestAide::exempleEstLeFichierLivre()
{
    const QByteArray octets = lireFichier(source("resources/help/Corvane.sample.cfg"));
    QVERIFY(!octets.isEmpty());
    QCOMPARE(lireFichier(QStringLiteral(":/help/Corvane.sample.cfg")), octets);
    QVERIFY(octets.endsWith("\r\n"));
    QCOMPARE(octets.count("\r\n"), octets.count('\n'));
    QVERIFY(octets.contains("Adresse N\xb0"
                            "4=\"\"\r\n"));
    QVERIFY(octets.contains("fichier \xe0 transferer="));
    QStringList fichier = fromAnsi(octets).split(QStringLiteral("\r\n"));
    fichier.removeAll(QString());

    Parametres p;
    test::FakeLinks links;
    Aide a(p, links);
    const QStringList affiche = lignesConfig(a.rt1()->document()->toPlainText());
    QCOMPARE(affiche, fichier);
    QCOMPARE(fichier.first(), QStringLiteral("[Mot de passe]"));
    QCOMPARE(fichier.last(), QStringLiteral("Valeur_Bouton_Tempo=0"));
    QVERIFY(!fichier.join(u'\n').contains(QStringLiteral("Langage Int"), Qt::CaseInsensitive));
}

void TestAide::exempleSeCharge()
{
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath(kNomConfig);
    QVERIFY(QFile::copy(source("resources/help/Corvane.sample.cfg"), chemin));

    const Parametres p = ChargeConfig(chemin);
    QCOMPARE(p.Raz, QStringLiteral("non"));
    QCOMPARE(p.DerniereIP, QStringLiteral("xxx.xxx.xxx.xxx"));
    QCOMPARE(p.AdresseDetect, QStringLiteral("http://www.example.org/php/ip_check.php"));
    QCOMPARE(p.NomDomaine, QStringLiteral("monsite"));
    QCOMPARE(p.FichierATransferer, QStringLiteral("date.php"));
    QCOMPARE(p.EmplacementFichier, QStringLiteral("/ma_page/date.php"));
    QCOMPARE(p.PortIn, QStringLiteral("81"));
    QCOMPARE(p.SauveLog, QStringLiteral("1"));
    QCOMPARE(p.CouleurConsole, QStringLiteral("2"));
    QCOMPARE(p.ServeurSmtp, QStringLiteral("smtp.example.org"));
    QCOMPARE(p.MessageDe, QStringLiteral("msg_auto_brenn"));
    QCOMPARE(p.Message, QStringLiteral("Hello, voici ma Nouvelle IP"));
    QCOMPARE(p.Adresses[0], QStringLiteral("premier@example.org"));
    QCOMPARE(p.Adresses[2], QStringLiteral("troisieme@example.org"));
    QCOMPARE(p.Adresses[3], QString()); // written as two double quotes
    QCOMPARE(p.Adresses[4], QString());
    QCOMPARE(p.ValeurBoutonTempo, QStringLiteral("0"));
    QCOMPARE(p.LangageInt, QString()); // not in the sample: the help then shows English
    QCOMPARE(p.TailleFenetre, QString());

    const IniFile ini = IniFile::fromBytes(lireFichier(chemin));
    QCOMPARE(ini.value(QStringLiteral("SMTP"), QStringLiteral("Adresse N°4")), QString());
    QCOMPARE(ini.value(QStringLiteral("smtp"), QStringLiteral("adresse n°3")),
             QStringLiteral("troisieme@example.org"));
}

// Every host and mail address in the help texts is a fictitious one.
void TestAide::adressesFictives()
{
    const QRegularExpression adresse(QStringLiteral(R"((?:https?://|www\.|@)([A-Za-z0-9.-]+))"));
    for (const char* fichier :
         {"resources/help/rt1.html", "resources/help/rt2.html", "resources/help/rt2eng.html",
          "resources/help/Corvane.sample.cfg"}) {
        QString texte = fromAnsi(lireFichier(source(fichier)));
        texte.remove(QRegularExpression(QStringLiteral("<[^>]*>"))); // markup is no address
        int vues = 0;
        for (auto it = adresse.globalMatch(texte); it.hasNext();) {
            const QString hote = it.next().captured(1).toLower();
            ++vues;
            QVERIFY2(hote.endsWith(u"example.org") || hote.endsWith(u"example.net"),
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(fichier), hote)));
        }
        QVERIFY2(vues > 0, fichier);
    }
}

void TestAide::seulLienDesEtapes_data()
{
    QTest::addColumn<QString>("boite");
    QTest::newRow("French") << QStringLiteral("RT2");
    QTest::newRow("English") << QStringLiteral("RT2eng");
}

// The weather program's address is the steps' only link; a press on it opens it once.
void TestAide::seulLienDesEtapes()
{
    QFETCH(QString, boite);
    Parametres p;
    p.LangageInt = boite == u"RT2" ? QStringLiteral("non") : QStringLiteral("oui");
    test::FakeLinks links;
    Aide a(p, links);
    auto* rt = a.findChild<RichTextView*>(boite);
    QVERIFY(rt);

    const QString texte = rt->document()->toPlainText();
    QSet<QString> liens;
    qsizetype surLien = -1;
    for (qsizetype c = 0; c < texte.size(); ++c) {
        const InfoLien r = ChercheLien(texte, c);
        if (r.EstLien) {
            liens.insert(r.Lien);
            surLien = c;
        }
    }
    QCOMPARE(liens, QSet<QString>{QStringLiteral("http://www.example.net/meteostation/")});

    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    QTextCursor curseur(rt->document());
    curseur.setPosition(int(surLien - 3));
    const QPoint point = rt->cursorRect(curseur).center() + QPoint(1, 0);
    QTest::mouseMove(rt->viewport(), QPoint(1, 1));
    QVERIFY(rt->viewport()->cursor().shape() != Qt::BitmapCursor);
    QTest::mouseMove(rt->viewport(), point);
    QCOMPARE(rt->viewport()->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseClick(rt->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(links.opened.size(), 1);
    QCOMPARE(links.opened.first().toString(),
             QStringLiteral("http://www.example.net/meteostation/"));
}

QTEST_MAIN(TestAide)
#include "test_aide.moc"
