// The help window: the language of the steps and the setting it leaves, and the sample
// configuration it shows (the shipped file, which the program must really load).

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "support/fakes.h"
#include "ui/aide.h"
#include "ui/richtextview.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
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
    void langue_data();
    void langue();
    void exempleLivreMontreEtChargeable();
};

void TestAide::langue_data()
{
    QTest::addColumn<QString>("langage");
    QTest::addColumn<bool>("francais");
    QTest::newRow("non") << "non" << true;
    QTest::newRow("NON") << "NON" << false;
}

// Loading writes nothing; a click on a flag shows its language and sets the setting, and a
// press that ends outside the picture is no click.
void TestAide::langue()
{
    QFETCH(QString, langage);
    QFETCH(bool, francais);
    Parametres p;
    p.LangageInt = langage;
    test::FakeLinks links;
    Aide a(p, links);
    QVERIFY(francais ? montreFrancais(a) : montreAnglais(a));
    QCOMPARE(p.LangageInt, langage);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    QLabel* drapeau = francais ? a.image2() : a.image1();
    QTest::mousePress(drapeau, Qt::LeftButton);
    QTest::mouseRelease(drapeau, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(montreFrancais(a), francais);
    QTest::mouseClick(drapeau, Qt::LeftButton);
    QCOMPARE(montreFrancais(a), !francais);
    QCOMPARE(p.LangageInt, francais ? "oui" : "non");
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

QTEST_MAIN(TestAide)
#include "test_aide.moc"
