// The word under the pointer in a help text, its classification, the address opened for it,
// and the mouse handling of a box that carries such words.

#include "support/fakes.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QTest>

using namespace corvane;

Q_DECLARE_METATYPE(InfoLien)

namespace {

InfoLien web(const QString& lien)
{
    return {lien, true, false};
}
InfoLien courriel(const QString& lien)
{
    return {lien, true, true};
}

// A point over character i of the box, at a fraction of its width (0 its left edge, 1 its
// right edge), in viewport pixels.
QPoint dansCaractere(const QTextEdit& box, int i, double fraction)
{
    QTextCursor c(box.document());
    c.setPosition(i);
    const QRect gauche = box.cursorRect(c);
    c.setPosition(i + 1);
    const int droite = box.cursorRect(c).left();
    return {gauche.left() + int((droite - gauche.left()) * fraction), gauche.center().y()};
}

// A shown box that carries the mouse handling of links, with the opener it reports to. A large
// font, so that a quarter of a character is several pixels.
struct Boite {
    test::FakeLinks links;
    RichTextView box;
    explicit Boite(const QString& html)
    {
        box.resize(700, 160);
        box.setReadOnly(true);
        box.document()->setDefaultFont(QFont("DejaVu Sans", 20));
        box.setRichText(html);
        new SourisLiens(box, links);
        box.show();
    }
    bool main() const { return box.viewport()->cursor().shape() == Qt::BitmapCursor; }
};

} // namespace

class TestLiens : public QObject {
    Q_OBJECT
private slots:
    void chercheLien_data();
    void chercheLien();
    void adresseAOuvrir_data();
    void adresseAOuvrir();
    void caractereSousLePointeur_data();
    void caractereSousLePointeur();
    void boutonsEtPointeur();
};

void TestLiens::chercheLien_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("c");
    QTest::addColumn<InfoLien>("attendu");
    const auto row = [](const char* nom, const QString& texte, qsizetype c, InfoLien attendu) {
        QTest::newRow(nom) << texte << int(c) << attendu;
    };
    const InfoLien rien;

    row("empty text", {}, 0, rien);
    const QString entreBlancs = "voir www.example.org ici";
    row("first character", entreBlancs, 5, web("www.example.org"));
    row("blank before", entreBlancs, 4, rien);
    row("on the CR", "www.example.org\r\nsuite", 15, rien);
    row("line separator", "a\u2028http://example.net\u2028b", 3, web("http://example.net"));
    const QString finDeTexte = "aller sur http://x.example.org";
    row("end of text", finDeTexte, finDeTexte.size() - 1, web("http://x.example.org"));
    row("before the text", finDeTexte, -1, rien);

    // The reach is 100 positions each way, the pointer's own included: a word of 197
    // characters is found from its middle only, one of 198 from nowhere.
    const QString mot197 = "www." + QString(193, u'z');
    const QString texte197 = " " + mot197 + " ";
    row("197 characters, middle", texte197, 99, web(mot197));
    const QString texte198 = " www." + QString(194, u'z') + " ";
    row("198 characters, middle right", texte198, 100, rien);
    const QString debut100 = "www." + QString(96, u'q') + " z";
    row("text start out of reach", debut100, 99, rien);

    row("http: without slashes", "http:example.org", 2, rien);
    row("web before mail", "http://example.org/mailto:x@y", 5,
        web("http://example.org/mailto:x@y"));
    row("MAILTO: further in loses the first seven", "abcMAILTO:jean@example.org", 4,
        courriel("TO:jean@example.org"));
    row("plain word with @", "chez moi@maison.", 6, courriel("moi@maison."));
}

void TestLiens::chercheLien()
{
    QFETCH(QString, texte);
    QFETCH(int, c);
    QFETCH(InfoLien, attendu);
    const InfoLien r = ChercheLien(texte, c);
    QVERIFY2(r == attendu,
             qPrintable(QStringLiteral("\"%1\" %2 %3").arg(r.Lien).arg(r.EstLien).arg(r.EstMail)));
}

void TestLiens::adresseAOuvrir_data()
{
    QTest::addColumn<InfoLien>("resultat");
    QTest::addColumn<QString>("url");
    const auto row = [](const char* nom, InfoLien r, const char* url) {
        QTest::newRow(nom) << r << QString::fromLatin1(url);
    };
    row("web word without scheme", web("www.example.org"), "http://www.example.org");
    row("upper-case scheme", web("HTTP://WWW.EXAMPLE.ORG/"), "http://www.example.org/");
    row("mail", courriel("jean@example.org"), "mailto:jean@example.org");
    row("script refused", web("javascript:alert(1)//www."), "");
    row("word that is no address", web("(http://www.example.org)"), "");
}

void TestLiens::adresseAOuvrir()
{
    QFETCH(InfoLien, resultat);
    QFETCH(QString, url);
    QCOMPARE(corvane::adresseAOuvrir(resultat).toString(), url);
}

void TestLiens::caractereSousLePointeur_data()
{
    QTest::addColumn<int>("caractere");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("lien");

    // Text: "Voir www.example.org ici" (the link from 5 to 19).
    QTest::newRow("blank before, right half") << 4 << 0.75 << false;
    QTest::newRow("last character, right half") << 19 << 0.75 << true;
}

// The pointer stands for the character whose cell it is in, not for the gap between two
// characters nearest to it.
void TestLiens::caractereSousLePointeur()
{
    QFETCH(int, caractere);
    QFETCH(double, fraction);
    QFETCH(bool, lien);

    Boite b("<p>Voir www.example.org ici</p>");
    QVERIFY(QTest::qWaitForWindowExposed(&b.box));
    const QPoint p = dansCaractere(b.box, caractere, fraction);
    QTest::mouseMove(b.box.viewport(), p);
    QCOMPARE(b.main(), lien);
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, p);
    QCOMPARE(b.links.opened, lien ? QList<QUrl>{QUrl("http://www.example.org")} : QList<QUrl>{});
}

// Any button opens a link once, through the opener; the pointer is the box's own elsewhere.
void TestLiens::boutonsEtPointeur()
{
    Boite b("<p>Voir www.example.org</p><p>ou ecrire a jean@example.net</p>");
    QVERIFY(QTest::qWaitForWindowExposed(&b.box));
    QTest::mouseClick(b.box.viewport(), Qt::RightButton, {}, dansCaractere(b.box, 7, 0.5));
    QTest::mouseClick(b.box.viewport(), Qt::MiddleButton, {}, dansCaractere(b.box, 35, 0.5));
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, dansCaractere(b.box, 1, 0.5));
    QCOMPARE(b.links.opened,
             (QList<QUrl>{QUrl("http://www.example.org"), QUrl("mailto:jean@example.net")}));

    const QCursor avant = b.box.viewport()->cursor();
    QTest::mouseMove(b.box.viewport(), dansCaractere(b.box, 7, 0.5));
    QVERIFY(b.main());
    // Far below the text: the nearest character ends the text, no word there.
    QTest::mouseMove(b.box.viewport(), QPoint(690, 150));
    QCOMPARE(b.box.viewport()->cursor().shape(), avant.shape());

    Boite vide{QString()};
    QCOMPARE(ChercheLien(75.0, 75.0, vide.box), InfoLien{});
}

QTEST_MAIN(TestLiens)
#include "test_liens.moc"
