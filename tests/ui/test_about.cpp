// The about window: what each place opens, only through the opener, only with the left button.

#include "support/fakes.h"
#include "ui/about.h"

#include <QFrame>
#include <QTest>

using namespace corvane;

namespace {

const QString kMail = "mailto:brenn@example.org?Subject=Corvane";
const QString kSite = "http://www.brenn.example.org/";

// A widget of the window and a point inside it that no child covers, by name.
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
    auto* w = a.findChild<QWidget*>(nom);
    return {w, w ? w->rect().center() : QPoint()};
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void clics_data();
    void clics();
};

void TestAbout::clics_data()
{
    QTest::addColumn<QString>("cible");
    QTest::addColumn<QString>("ouvert");
    QTest::newRow("mail area") << "Mail" << kMail;
    QTest::newRow("mail address") << "Label1" << kMail;
    QTest::newRow("site area") << "SiteBrenn" << kSite;
    QTest::newRow("banner") << "Image2" << kSite;
    QTest::newRow("background") << "fond" << QString();
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
    QCOMPARE(a.childAt(widget->mapTo(&a, point)), widget == &a ? nullptr : widget);
    QTest::mouseClick(widget, Qt::RightButton, {}, point);
    QVERIFY(links.opened.isEmpty());
    QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    QCOMPARE(links.opened, ouvert.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(ouvert)});
    QVERIFY(a.isVisible());
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
