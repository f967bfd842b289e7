// The about window: the underline rules of its two link areas, the two targets and every
// way to reach them, and its OK button.

#include "support/fakes.h"
#include "ui/about.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace corvane;

namespace {

const QString kMailAttendu = QStringLiteral("mailto:brenn@example.org?Subject=Corvane");
const QString kSiteAttendu = QStringLiteral("http://www.brenn.example.org/");

// A place for the pointer, by name: a widget of the window and a point inside it that no
// child covers.
QPair<QWidget*, QPoint> endroit(About& a, const QString& nom)
{
    if (nom == u"fond") {
        return {&a, QPoint(4, 110)};
    }
    if (nom == u"Mail") {
        return {a.mail(), QPoint(44, 3)};
    }
    if (nom == u"SiteBrenn") {
        return {a.siteBrenn(), QPoint(4, 37)};
    }
    if (nom == u"Frame1") {
        return {a.frame1(), QPoint(8, 80)};
    }
    auto* w = a.findChild<QWidget*>(nom);
    return {w, w ? w->rect().center() : QPoint()};
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void soulignement_data();
    void soulignement();
    void clics_data();
    void clics();
    void okFerme();
};

void TestAbout::soulignement_data()
{
    QTest::addColumn<QStringList>("parcours");
    QTest::addColumn<bool>("mailSouligne");
    QTest::addColumn<bool>("siteSouligne");

    const auto row = [](const char* nom, const char* parcours, bool mail, bool site) {
        QTest::newRow(nom) << QString::fromLatin1(parcours).split(u' ', Qt::SkipEmptyParts) << mail
                           << site;
    };
    row("fresh window", "", false, false);
    row("mail area", "Mail", true, false);
    row("site area", "SiteBrenn", false, true);
    row("both areas", "Mail SiteBrenn", true, true);
    row("mail then background", "Mail fond", false, false);
    row("both then background", "SiteBrenn Mail fond", false, false);
    row("mail then its address", "Mail Label1", true, false);
    row("mail then its icon", "Mail Image1", true, false);
    row("mail then Frame1", "Mail Frame1", true, false);
    row("mail then OK", "Mail Command1", true, false);
    row("site then product name", "SiteBrenn Label4", false, true);
    row("site then its banner", "SiteBrenn Image2", false, true);
    row("address without its area", "Label1 Label2", false, false);
    row("banner and icon alone", "Image2 Image1", false, false);
    row("background then site then background", "fond SiteBrenn fond", false, false);
}

void TestAbout::soulignement()
{
    QFETCH(QStringList, parcours);
    QFETCH(bool, mailSouligne);
    QFETCH(bool, siteSouligne);

    test::FakeLinks links;
    About a(links);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    // Start from a place that changes nothing, unlike the last position of an earlier row.
    QTest::mouseMove(a.command1(), QPoint(3, 3));
    for (const QString& nom : parcours) {
        const auto [widget, point] = endroit(a, nom);
        QVERIFY2(widget, qPrintable(nom));
        QCOMPARE(a.childAt(widget->mapTo(&a, point)), widget == &a ? nullptr : widget);
        QTest::mouseMove(widget, point);
    }
    QCOMPARE(a.label1()->font().underline(), mailSouligne);
    QCOMPARE(a.label2()->font().underline(), siteSouligne);
    QVERIFY(links.opened.isEmpty());
}

void TestAbout::clics_data()
{
    QTest::addColumn<QString>("cible");
    QTest::addColumn<QString>("ouvert");
    QTest::newRow("mail area") << QStringLiteral("Mail") << kMailAttendu;
    QTest::newRow("mail address") << QStringLiteral("Label1") << kMailAttendu;
    QTest::newRow("mail icon") << QStringLiteral("Image1") << kMailAttendu;
    QTest::newRow("site area") << QStringLiteral("SiteBrenn") << kSiteAttendu;
    QTest::newRow("site address") << QStringLiteral("Label2") << kSiteAttendu;
    QTest::newRow("banner") << QStringLiteral("Image2") << kSiteAttendu;
    QTest::newRow("background") << QStringLiteral("fond") << QString();
    QTest::newRow("product block") << QStringLiteral("Frame1") << QString();
    QTest::newRow("program icon") << QStringLiteral("Image3") << QString();
}

void TestAbout::clics()
{
    QFETCH(QString, cible);
    QFETCH(QString, ouvert);
    test::FakeLinks links;
    About a(links);
    a.show();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    const auto [widget, point] = endroit(a, cible);
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::RightButton, {}, point); // only the left button clicks
    QVERIFY(links.opened.isEmpty());
    QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    QCOMPARE(links.opened, ouvert.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(ouvert)});
    QVERIFY(a.isVisible());
}

void TestAbout::okFerme()
{
    test::FakeLinks links;
    QPointer<About> a = new About(links);
    a->setAttribute(Qt::WA_DeleteOnClose);
    a->show();
    QVERIFY(QTest::qWaitForWindowExposed(a));
    QTest::mouseMove(a->mail(), QPoint(44, 3));
    QVERIFY(a->label1()->font().underline());
    QTest::mouseClick(a->command1(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(a.isNull(), 2000);
    QVERIFY(links.opened.isEmpty());

    // Shown again: a new window, neither label underlined, each showing what its click opens.
    About b(links);
    QVERIFY(!b.label1()->font().underline() && !b.label2()->font().underline());
    QVERIFY(kMailAttendu.contains(QStringLiteral(":") + b.label1()->text() + u'?'));
    QCOMPARE(QStringLiteral("http://%1/").arg(b.label2()->text()), kSiteAttendu);
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
