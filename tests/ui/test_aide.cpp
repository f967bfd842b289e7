// The help window: the language of the steps and the setting it leaves, the sample
// configuration it shows (the shipped file, which the program must really load), and its link.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "support/fakes.h"
#include "ui/aide.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

QByteArray lireFichier(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kExemple = QStringLiteral(CORVANE_SOURCE_DIR "/resources/help/Corvane.sample.cfg");

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
    void exempleLivreMontreEtChargeable();
    void adressesFictives();
    void seulLienDesEtapes();
};

void TestAide::langueAuChargement_data()
{
    QTest::addColumn<QString>("langage");
    QTest::addColumn<bool>("francais");
    QTest::newRow("non") << "non" << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("NON") << "NON" << false;
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
    QCOMPARE(p.LangageInt, langage); // loading writes nothing
}

void TestAide::imagesChangentLaLangue()
{
    Parametres p;
    p.LangageInt = "non";
    test::FakeLinks links;
    Aide a(p, links);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));

    QTest::mouseClick(a.image2(), Qt::LeftButton);
    QVERIFY(montreAnglais(a));
    QCOMPARE(p.LangageInt, "oui");
    // A press that ends outside the picture is no click.
    QTest::mousePress(a.image1(), Qt::LeftButton);
    QTest::mouseRelease(a.image1(), Qt::LeftButton, {}, QPoint(-5, -5));
    QVERIFY(montreAnglais(a));
    QTest::mouseClick(a.image1(), Qt::LeftButton);
    QVERIFY(montreFrancais(a));
    QCOMPARE(p.LangageInt, "non");
}

// RT1 shows the shipped file line for line (notes after a TAB set aside), and that file loads.
void TestAide::exempleLivreMontreEtChargeable()
{
    const QByteArray octets = lireFichier(kExemple);
    QVERIFY(octets.endsWith("\r\n"));
    QCOMPARE(octets.count("\r\n"), octets.count('\n'));
    QCOMPARE(lireFichier(":/help/Corvane.sample.cfg"), octets);
    QStringList fichier = fromAnsi(octets).split("\r\n");
    fichier.removeAll(QString());

    Parametres vide;
    test::FakeLinks links;
    Aide a(vide, links);
    QStringList affiche;
    for (const QString& ligne :
         a.rt1()->document()->toPlainText().split(QRegularExpression("[\n\u2028\u2029]"))) {
        const QString config = ligne.section(u'\t', 0, 0).trimmed();
        if (!config.isEmpty()) {
            affiche.append(config);
        }
    }
    QCOMPARE(affiche, fichier);

    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(kNomConfig);
    QVERIFY(QFile::copy(kExemple, chemin));
    const Parametres p = ChargeConfig(chemin);
    QCOMPARE(p.AdresseDetect, "http://www.example.org/php/ip_check.php");
    QCOMPARE(p.FichierATransferer, "date.php"); // "fichier à transferer"
    QCOMPARE(p.PortIn, "81");                   // "N°port In"
    QCOMPARE(p.Adresses[2], "troisieme@example.org");
    QCOMPARE(p.Adresses[3], QString()); // written as two double quotes: ends the list
    QCOMPARE(p.ValeurBoutonTempo, "0");
}

// Every host and mail address in the help texts is a fictitious one.
void TestAide::adressesFictives()
{
    const QRegularExpression adresse(QStringLiteral(R"((?:https?://|www\.|@)([A-Za-z0-9.-]+))"));
    for (const char* fichier : {"rt1.html", "rt2.html", "rt2eng.html", "Corvane.sample.cfg"}) {
        QString texte =
            fromAnsi(lireFichier(QStringLiteral(CORVANE_SOURCE_DIR "/resources/help/") + fichier));
        texte.remove(QRegularExpression("<[^>]*>")); // markup is no address
        int vues = 0;
        for (auto it = adresse.globalMatch(texte); it.hasNext(); ++vues) {
            const QString hote = it.next().captured(1).toLower();
            QVERIFY2(hote.endsWith(u"example.org") || hote.endsWith(u"example.net"),
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(fichier), hote)));
        }
        QVERIFY2(vues > 0, fichier);
    }
}

// The weather program's address is the steps' only link, in both languages; a press on it
// opens it once.
void TestAide::seulLienDesEtapes()
{
    const QString meteo = "http://www.example.net/meteostation/";
    for (const char* langage : {"non", "oui"}) {
        Parametres p;
        p.LangageInt = langage;
        test::FakeLinks links;
        Aide a(p, links);
        RichTextView* rt = p.LangageInt == u"non" ? a.rt2() : a.rt2eng();
        const QString texte = rt->document()->toPlainText();
        QSet<QString> liens;
        int surLien = -1;
        for (int c = 0; c < texte.size(); ++c) {
            if (const InfoLien r = ChercheLien(texte, c); r.EstLien) {
                liens.insert(r.Lien);
                surLien = c;
            }
        }
        QCOMPARE(liens, QSet<QString>{meteo});

        a.show();
        QVERIFY(QTest::qWaitForWindowExposed(&a));
        QTextCursor curseur(rt->document());
        curseur.setPosition(surLien - 3);
        QTest::mouseClick(rt->viewport(), Qt::LeftButton, {},
                          rt->cursorRect(curseur).center() + QPoint(1, 0));
        QCOMPARE(links.opened, QList<QUrl>{QUrl(meteo)});
    }
}

QTEST_MAIN(TestAide)
#include "test_aide.moc"
