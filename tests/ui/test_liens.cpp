// The word under the pointer in a help text, its classification, the address opened for it,
// and the mouse handling of a box that carries such words.

#include "support/fakes.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>

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

// A point in the left half of character i of the box, in viewport pixels.
QPoint surCaractere(const QTextEdit& box, int i)
{
    QTextCursor c(box.document());
    c.setPosition(i);
    const QRect gauche = box.cursorRect(c);
    c.setPosition(i + 1);
    const QRect droite = box.cursorRect(c);
    const int x =
        droite.top() == gauche.top() ? (gauche.left() + droite.left()) / 2 - 1 : gauche.left() + 2;
    return {x, gauche.center().y()};
}

// A shown box that carries the mouse handling of links, with the opener it reports to.
struct Boite {
    test::FakeLinks links;
    RichTextView box;
    explicit Boite(const QString& html)
    {
        box.resize(400, 120);
        box.setReadOnly(true);
        box.setRichText(html);
        new SourisLiens(box, links);
        box.show();
    }
    Qt::CursorShape pointeur() const { return box.viewport()->cursor().shape(); }
};

} // namespace

class TestLiens : public QObject {
    Q_OBJECT
private slots:
    void chercheLien_data();
    void chercheLien();
    void resultatsToujoursCoherents();
    void twipsVersPixels_data();
    void twipsVersPixels();
    void adresseAOuvrir_data();
    void adresseAOuvrir();
    void appuiOuvreLeLien_data();
    void appuiOuvreLeLien();
    void pointeurSuitLaSouris();
    void boiteVide();
    void motLong();
};

void TestLiens::chercheLien_data()
{
    QTest::addColumn<QString>("texte");
    QTest::addColumn<int>("c");
    QTest::addColumn<InfoLien>("attendu");

    QTest::newRow("empty box") << QString() << 0 << InfoLien{};

    const QString entreBlancs = QStringLiteral("voir www.example.org ici");
    for (int c = 5; c < 20; ++c) {
        QTest::addRow("between blanks, on %d", c) << entreBlancs << c << web("www.example.org");
    }
    QTest::newRow("blank before") << entreBlancs << 4 << InfoLien{};
    QTest::newRow("blank after") << entreBlancs << 20 << InfoLien{};
    QTest::newRow("plain word") << entreBlancs << 1 << InfoLien{};

    const QString avantCrLf = QStringLiteral("www.example.org\r\nsuite");
    QTest::newRow("before CR LF, first") << avantCrLf << 0 << web("www.example.org");
    QTest::newRow("before CR LF, last") << avantCrLf << 14 << web("www.example.org");
    QTest::newRow("on the CR") << avantCrLf << 15 << InfoLien{};
    QTest::newRow("on the LF") << avantCrLf << 16 << InfoLien{};
    QTest::newRow("after the LF") << avantCrLf << 17 << InfoLien{};
    QTest::newRow("tab and paragraph separator")
        << QStringLiteral("a\twww.example.org\u2029b") << 8 << web("www.example.org");
    QTest::newRow("line separator")
        << QStringLiteral("a\u2028http://example.net\u2028b") << 3 << web("http://example.net");

    QTest::newRow("start of text")
        << QStringLiteral("http://www.example.net/ fin") << 0 << web("http://www.example.net/");
    const QString finDeTexte = QStringLiteral("aller sur http://x.example.org");
    QTest::newRow("end of text") << finDeTexte << int(finDeTexte.size() - 1)
                                 << web("http://x.example.org");
    QTest::newRow("just after the text") << finDeTexte << int(finDeTexte.size()) << InfoLien{};
    QTest::newRow("before the text") << finDeTexte << -1 << InfoLien{};
    QTest::newRow("brackets belong to the word")
        << QStringLiteral("(www.example.org), fin") << 3 << web("(www.example.org),");

    // A word of 254 characters: no pointer position is within reach of both of its ends.
    const QString long254 = QString(100, u'a') + QStringLiteral("www.") + QString(150, u'b');
    const QString texteLong = QStringLiteral("x ") + long254 + QStringLiteral(" y");
    QTest::newRow("long word, middle") << texteLong << 2 + 127 << InfoLien{};
    QTest::newRow("long word, near start") << texteLong << 2 + 3 << InfoLien{};
    QTest::newRow("long word, near end") << texteLong << 2 + 250 << InfoLien{};

    // The reach is 100 positions each way, the pointer's own included: a word of 197
    // characters is found from its middle, one of 198 from nowhere.
    const QString mot197 = QStringLiteral("www.") + QString(193, u'z');
    const QString texte197 = QStringLiteral(" ") + mot197 + QStringLiteral(" ");
    QTest::newRow("197 characters, middle") << texte197 << 99 << web(mot197);
    QTest::newRow("197 characters, one before the middle") << texte197 << 98 << InfoLien{};
    QTest::newRow("197 characters, one after the middle") << texte197 << 100 << InfoLien{};
    const QString texte198 = QStringLiteral(" www.") + QString(194, u'z') + QStringLiteral(" ");
    QTest::newRow("198 characters, middle left") << texte198 << 99 << InfoLien{};
    QTest::newRow("198 characters, middle right") << texte198 << 100 << InfoLien{};
    // With the text's start as the delimiter: k = -1 is within reach of c = 98 only.
    const QString debut99 = QStringLiteral("www.") + QString(95, u'q') + QStringLiteral(" z");
    QTest::newRow("text start within reach") << debut99 << 98 << web(debut99.left(99));
    const QString debut100 = QStringLiteral("www.") + QString(96, u'q') + QStringLiteral(" z");
    QTest::newRow("text start out of reach") << debut100 << 99 << InfoLien{};

    QTest::newRow("www. in lower case")
        << QStringLiteral("lien www.example.org") << 7 << web("www.example.org");
    QTest::newRow("WWW. in upper case")
        << QStringLiteral("lien WWW.EXAMPLE.ORG") << 7 << web("WWW.EXAMPLE.ORG");
    QTest::newRow("Http:// mixed case")
        << QStringLiteral("Http://example.org") << 2 << web("Http://example.org");
    QTest::newRow("http: without slashes") << QStringLiteral("http:example.org") << 2 << InfoLien{};
    QTest::newRow("web before mail") << QStringLiteral("http://example.org/mailto:x@y") << 5
                                     << web("http://example.org/mailto:x@y");

    QTest::newRow("MAILTO: at the start")
        << QStringLiteral("ecrire MAILTO:jean@example.org") << 10 << courriel("jean@example.org");
    QTest::newRow("mailto: in lower case")
        << QStringLiteral("mailto:jean@example.org") << 0 << courriel("jean@example.org");
    QTest::newRow("MAILTO: further in loses the first seven")
        << QStringLiteral("abcMAILTO:jean@example.org") << 4 << courriel("TO:jean@example.org");
    QTest::newRow("MAILTO: without an at sign")
        << QStringLiteral("MAILTO:personne") << 3 << courriel("personne");
    QTest::newRow("plain word with @")
        << QStringLiteral("chez moi@maison.") << 6 << courriel("moi@maison.");
    QTest::newRow("lone @") << QStringLiteral("a @ b") << 2 << courriel("@");
    QTest::newRow("no link words") << QStringLiteral("example.org http www") << 14 << InfoLien{};
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

// Random texts of link-ish pieces and random positions: whatever the input, the result is a
// blank-free piece of the text no longer than the reach allows, and the flags agree.
void TestLiens::resultatsToujoursCoherents()
{
    const QStringList morceaux = {
        QStringLiteral(" "),       QStringLiteral("\t"),          QStringLiteral("\r\n"),
        QStringLiteral("\u2029"),  QStringLiteral("www."),        QStringLiteral("HTTP://"),
        QStringLiteral("mailto:"), QStringLiteral("@"),           QStringLiteral("é"),
        QStringLiteral("x"),       QStringLiteral("example.org"), QString(60, u'k')};
    QRandomGenerator alea(20260105);
    for (int essai = 0; essai < 20000; ++essai) {
        QString texte;
        const int n = alea.bounded(0, 12);
        for (int i = 0; i < n; ++i) {
            texte += morceaux[alea.bounded(qsizetype(morceaux.size()))];
        }
        const int c = alea.bounded(-2, int(texte.size()) + 3);
        const InfoLien r = ChercheLien(texte, c);
        const QString contexte = QStringLiteral("text \"%1\" at %2").arg(texte).arg(c);
        QVERIFY2(!r.EstMail || r.EstLien, qPrintable(contexte));
        QVERIFY2(r.EstLien || r.Lien.isEmpty(), qPrintable(contexte));
        QVERIFY2(r.Lien.size() <= 2 * kPorteeRecherche - 3, qPrintable(contexte));
        QVERIFY2(r.Lien.isEmpty() || texte.contains(r.Lien), qPrintable(contexte));
        QVERIFY2(std::none_of(r.Lien.begin(), r.Lien.end(), estDelimiteur), qPrintable(contexte));
        if (r.EstLien && c >= 0 && c < texte.size()) {
            QVERIFY2(!estDelimiteur(texte[c]), qPrintable(contexte));
        }
    }
}

void TestLiens::twipsVersPixels_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("parPixel");
    QTest::addColumn<int>("pixels");

    QTest::newRow("zero") << 0.0 << 15.0 << 0;
    QTest::newRow("whole pixel") << 150.0 << 15.0 << 10;
    QTest::newRow("remainder dropped") << 29.0 << 15.0 << 1;
    QTest::newRow("rounded up before dividing") << 14.6 << 15.0 << 1;
    QTest::newRow("half to even, up") << 29.5 << 15.0 << 2;
    QTest::newRow("half to even, down") << 44.5 << 15.0 << 2;
    QTest::newRow("half to even, down at zero") << 14.5 << 15.0 << 0;
    QTest::newRow("negative toward zero") << -16.0 << 15.0 << -1;
    QTest::newRow("small negative") << -14.0 << 15.0 << 0;
    QTest::newRow("negative half to even") << -15.5 << 15.0 << -1;
    QTest::newRow("divisor rounded down") << 30.0 << 15.4 << 2;
    QTest::newRow("divisor half to even") << 42.0 << 14.5 << 3;
    QTest::newRow("divisor rounded up") << 45.0 << 14.6 << 3;
    QTest::newRow("zero divisor") << 30.0 << 0.2 << 0;
}

void TestLiens::twipsVersPixels()
{
    QFETCH(double, twips);
    QFETCH(double, parPixel);
    QFETCH(int, pixels);
    QCOMPARE(corvane::twipsVersPixels(twips, parPixel), pixels);
}

void TestLiens::adresseAOuvrir_data()
{
    QTest::addColumn<InfoLien>("resultat");
    QTest::addColumn<QString>("url");

    QTest::newRow("nothing") << InfoLien{} << QString();
    QTest::newRow("web word without scheme")
        << web("www.example.org") << QStringLiteral("http://www.example.org");
    QTest::newRow("http kept") << web("http://www.example.net/meteostation/")
                               << QStringLiteral("http://www.example.net/meteostation/");
    QTest::newRow("https kept") << web("https://www.example.net/a?b=c")
                                << QStringLiteral("https://www.example.net/a?b=c");
    QTest::newRow("upper-case scheme")
        << web("HTTP://WWW.EXAMPLE.ORG/") << QStringLiteral("http://www.example.org/");
    QTest::newRow("mail") << courriel("jean@example.org")
                          << QStringLiteral("mailto:jean@example.org");
    QTest::newRow("ftp refused") << web("ftp://www.example.org/") << QString();
    QTest::newRow("file refused") << web("file://www.example.org/etc/passwd") << QString();
    QTest::newRow("script refused") << web("javascript:alert(1)//www.") << QString();
    QTest::newRow("word that is no address") << web("(http://www.example.org)") << QString();
}

void TestLiens::adresseAOuvrir()
{
    QFETCH(InfoLien, resultat);
    QFETCH(QString, url);
    QCOMPARE(corvane::adresseAOuvrir(resultat).toString(), url);
}

void TestLiens::appuiOuvreLeLien_data()
{
    QTest::addColumn<Qt::MouseButton>("bouton");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("ouvert");

    // Text: "Voir www.example.org\nou ecrire a jean@example.net merci"
    for (const auto& [nom, bouton] :
         {std::pair{"left", Qt::LeftButton}, std::pair{"right", Qt::RightButton},
          std::pair{"middle", Qt::MiddleButton}}) {
        QTest::addRow("%s, web", nom) << bouton << 7 << QStringLiteral("http://www.example.org");
        QTest::addRow("%s, mail", nom) << bouton << 35 << QStringLiteral("mailto:jean@example.net");
        QTest::addRow("%s, plain word", nom) << bouton << 1 << QString();
        QTest::addRow("%s, blank", nom) << bouton << 4 << QString();
    }
}

void TestLiens::appuiOuvreLeLien()
{
    QFETCH(Qt::MouseButton, bouton);
    QFETCH(int, position);
    QFETCH(QString, ouvert);

    Boite b(QStringLiteral("<p>Voir <u>www.example.org</u></p>"
                           "<p>ou ecrire a jean@example.net merci</p>"));
    QVERIFY(QTest::qWaitForWindowExposed(&b.box));
    QTest::mousePress(b.box.viewport(), bouton, {}, surCaractere(b.box, position));
    QTest::mouseRelease(b.box.viewport(), bouton, {}, surCaractere(b.box, position));
    QCOMPARE(b.links.opened, ouvert.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(ouvert)});
}

void TestLiens::pointeurSuitLaSouris()
{
    Boite b(QStringLiteral("<p>Voir www.example.org et moi@maison</p>"));
    const Qt::CursorShape normal = b.pointeur();
    QVERIFY(normal != Qt::BitmapCursor);
    QVERIFY(QTest::qWaitForWindowExposed(&b.box));

    for (const auto& [c, forme] : {std::pair{10, Qt::BitmapCursor}, std::pair{4, normal},
                                   std::pair{28, Qt::BitmapCursor}, std::pair{1, normal}}) {
        QTest::mouseMove(b.box.viewport(), surCaractere(b.box, c));
        QCOMPARE(b.pointeur(), forme);
        if (forme == Qt::BitmapCursor) {
            QCOMPARE(b.box.viewport()->cursor().hotSpot(), QPoint(5, 0));
        }
    }
    // Far below the text the nearest character is the end of the text: no word there.
    QTest::mouseMove(b.box.viewport(), QPoint(390, 110));
    QCOMPARE(b.pointeur(), normal);
    QVERIFY(b.links.opened.isEmpty());
}

void TestLiens::boiteVide()
{
    Boite b{QString()};
    QVERIFY(QTest::qWaitForWindowExposed(&b.box));
    const Qt::CursorShape normal = b.pointeur();
    QTest::mouseMove(b.box.viewport(), QPoint(5, 5));
    QCOMPARE(b.pointeur(), normal);
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(b.links.opened.isEmpty());
    QCOMPARE(ChercheLien(75.0, 75.0, b.box), InfoLien{});
}

// The scans are bounded: a search in a long text costs the same as in a short one.
void TestLiens::motLong()
{
    QString texte;
    for (int i = 0; i < 5000; ++i) {
        texte += QStringLiteral("voir www.example.org ") + QString(300, u'k') + u' ';
    }
    qsizetype trouves = 0;
    QBENCHMARK
    {
        trouves = 0;
        for (qsizetype c = 0; c < texte.size(); c += 97) {
            trouves += ChercheLien(texte, c).EstLien ? 1 : 0;
        }
    }
    QVERIFY(trouves > 0);
}

QTEST_MAIN(TestLiens)
#include "test_liens.moc"
