// Every window at the desktop's font resolution (QT_FONT_DPI, run at 96 and at 120 with Qt's
// scaling off, so that the text grows and the boxes do not): each caption fits its box and no
// control drawn over it hides part of it, the step texts of the help need no scrolling; the
// alarm answers the keyboard.

#include "banc.h"
#include "watch/moteur.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTest>
#include <QTextEdit>

using namespace corvane;

namespace {

// Where the style draws a control's caption, and the caption's flags; empty when it has none.
QRect zoneTexte(QWidget* w, QString& texte, int& drapeaux)
{
    drapeaux = Qt::TextShowMnemonic;
    if (auto* l = qobject_cast<QLabel*>(w)) {
        texte = l->textFormat() == Qt::RichText ? QString() : l->text();
        drapeaux = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
        return l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton o;
        o.initFrom(b);
        o.text = texte = b->text();
        const QStyle::SubElement e = qobject_cast<QCheckBox*>(b) ? QStyle::SE_CheckBoxContents
                                     : qobject_cast<QRadioButton*>(b)
                                         ? QStyle::SE_RadioButtonContents
                                         : QStyle::SE_PushButtonContents;
        drapeaux |= qobject_cast<QPushButton*>(b) ? int(Qt::AlignCenter) : int(Qt::AlignVCenter);
        return b->style()->subElementRect(e, &o, b);
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox o;
        o.initFrom(g);
        o.text = texte = g->title();
        o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        o.lineWidth = 1;
        // The label rect is made to the title's size: it must stay inside the box.
        const QRect r =
            g->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g);
        return r.intersected(g->rect());
    }
    return {};
}

// "name: fault" for each caption cut by its box or hidden by a control drawn over it.
QStringList textesCoupes(QWidget* fenetre)
{
    QStringList fautes;
    for (QWidget* w : fenetre->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(fenetre)) {
            continue;
        }
        if (auto* t = qobject_cast<QTextEdit*>(w);
            t && t->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
            t->document()->size().height() > t->viewport()->height()) {
            fautes << QStringLiteral("%1: text of %2 px cut at %3 px")
                          .arg(w->objectName())
                          .arg(t->document()->size().height())
                          .arg(t->viewport()->height());
        }
        QString texte;
        int drapeaux = 0;
        const QRect boite = zoneTexte(w, texte, drapeaux);
        if (texte.isEmpty()) {
            continue;
        }
        const QRect besoin = w->fontMetrics().boundingRect(boite, drapeaux, texte);
        if (!boite.contains(besoin)) {
            fautes << QStringLiteral("%1: \"%2\" needs %3x%4, has %5x%6")
                          .arg(w->objectName(), texte)
                          .arg(besoin.width())
                          .arg(besoin.height())
                          .arg(boite.width())
                          .arg(boite.height());
        }
        // Siblings created later, and a box's own children, are drawn over the caption.
        QObjectList dessus = w->children();
        if (QWidget* parent = w->parentWidget()) {
            const QObjectList freres = parent->children();
            dessus += freres.mid(freres.indexOf(w) + 1);
        }
        for (QObject* o : dessus) {
            auto* v = qobject_cast<QWidget*>(o);
            const QRect ou =
                v && v->isVisibleTo(fenetre) && !v->isWindow()
                    ? v->geometry().translated(v->parentWidget() == w ? QPoint() : -w->pos())
                    : QRect();
            if (ou.intersects(besoin.intersected(boite))) {
                fautes << QStringLiteral("%1: \"%2\" covered by %3")
                              .arg(w->objectName(), texte, v->objectName());
            }
        }
    }
    return fautes;
}

} // namespace

class TestFenetres : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void textesEntiers_data();
    void textesEntiers();
    void acquittementAuClavier_data();
    void acquittementAuClavier();
};

void TestFenetres::initTestCase()
{
    // The resolution asked is the one the windows are measured at.
    const int dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    QVERIFY2(dpi == 96 || dpi == 120, "run with QT_FONT_DPI=96 or 120");
    QCOMPARE(QWidget().logicalDpiY(), dpi);
}

void TestFenetres::textesEntiers_data()
{
    QTest::addColumn<QString>("fenetre");
    QTest::addColumn<bool>("reduit");
    const QByteArray dpi = qgetenv("QT_FONT_DPI") + " dpi ";
    QTest::newRow(dpi + "Console reduit") << QStringLiteral("Console") << true;
    for (const QString& f : test::kFenetres) {
        QTest::newRow(dpi + f.toUtf8()) << f << false;
    }
}

void TestFenetres::textesEntiers()
{
    QFETCH(QString, fenetre);
    QFETCH(bool, reduit);
    test::Banc banc;
    banc.console();
    if (reduit) {
        banc.moteur().setTaille(Taille::Reduit);
    }
    QWidget* w = banc.ouvre(fenetre);
    if (!w) {
        QSKIP("no such window in this build");
    }
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QStringList fautes = textesCoupes(w);
    if (fenetre == QLatin1String("Aide")) { // both languages of the steps
        auto* drapeau = w->findChild<QLabel*>(QStringLiteral("Image1"));
        QTest::mouseClick(drapeau, Qt::LeftButton);
        fautes += textesCoupes(w);
    }
    QVERIFY2(fautes.isEmpty(), qPrintable(fautes.join(u'\n')));
}

void TestFenetres::acquittementAuClavier_data()
{
    QTest::addColumn<bool>("surAdresse"); // the key pressed on the address, else on the window
    QTest::addColumn<int>("touche");
    QTest::addColumn<bool>("acquitte");
    QTest::newRow("Escape, window") << false << int(Qt::Key_Escape) << true;
    QTest::newRow("Enter, address") << true << int(Qt::Key_Return) << true;
    QTest::newRow("Space, window") << false << int(Qt::Key_Space) << false;
}

// The address is the first stop of the Tab key; the keys end the alarm as a click does.
void TestFenetres::acquittementAuClavier()
{
    QFETCH(bool, surAdresse);
    QFETCH(int, touche);
    QFETCH(bool, acquitte);
    test::Banc banc("[IP]\r\nDerniere IP=1.1.1.1\r\n");
    Console& c = banc.console();
    QVERIFY(QTest::qWaitForWindowActive(&c));
    c.CommandStart_Click();
    banc.detecteur.repond(QStringLiteral("2.2.2.2"));
    QVERIFY(banc.moteur().alarme());
    if (surAdresse) {
        c.Option1[0]->setFocus();
        QTest::keyClick(&c, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), c.LabelIp);
    } else {
        c.CheckMail->setFocus();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(touche));
    QCOMPARE(banc.moteur().alarme(), !acquitte);
}

QTEST_MAIN(TestFenetres)
#include "tst_fenetres.moc"
