// The interface's language: the choice between the setting and the locale; the English
// interface (from LANG=en_US.UTF-8, or switched from the menu while every window is open)
// with no French caption left; the exit question and Qt's own buttons in either language.

#include "banc.h"
#include "platform/qtplatform.h"
#include "ui/langue.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

using namespace corvane;

namespace {

struct Message {
    QString source;
    QString traduction;
};

QList<Message> catalogue()
{
    QFile f(QStringLiteral(CORVANE_SOURCE_DIR "/translations/corvane_en.ts"));
    QList<Message> messages;
    if (!f.open(QIODevice::ReadOnly)) {
        return messages;
    }
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("source")) {
            messages.append({xml.readElementText(), {}});
        } else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            messages.last().traduction = xml.readElementText();
        }
    }
    return messages;
}

// Part of another of the listed windows, which is looked at on its own.
bool autreFenetre(QObject* o, QWidget* fenetre)
{
    auto* w = qobject_cast<QWidget*>(o);
    return w && w->window() != fenetre && test::kFenetres.contains(w->window()->objectName());
}

// Every caption, tool tip, title, entry, tab and column heading of the window and its menus.
QStringList textesVisibles(QWidget* fenetre)
{
    QStringList textes{fenetre->windowTitle()};
    QList<QWidget*> widgets = fenetre->findChildren<QWidget*>();
    widgets.prepend(fenetre);
    for (QWidget* w : widgets) {
        if (autreFenetre(w, fenetre)) {
            continue;
        }
        textes << w->toolTip();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            textes << l->text();
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            textes << b->text();
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            textes << g->title();
        } else if (auto* t = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < t->count(); ++i) {
                textes << t->tabText(i);
            }
        } else if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model()) {
            for (int i = 0; i < h->count(); ++i) {
                textes << h->model()->headerData(i, h->orientation()).toString();
            }
        }
        for (QAction* a : w->actions()) {
            textes << a->text() << a->toolTip();
        }
    }
    for (QAction* a : fenetre->findChildren<QAction*>()) {
        if (!autreFenetre(a->parent(), fenetre)) {
            textes << a->text();
        }
    }
    textes.removeAll(QString());
    return textes;
}

} // namespace

class TestLangue : public QObject {
    Q_OBJECT
private slots:
    void choix_data();
    void choix();
    void anglaisSansFrancais_data();
    void anglaisSansFrancais();
    void questionDeSortie_data();
    void questionDeSortie();
};

void TestLangue::choix_data()
{
    QTest::addColumn<QString>("reglage");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("langue");
    QTest::newRow("absent fr_CA") << ""
                                  << "fr_CA"
                                  << "fr";
    QTest::newRow("absent C") << ""
                              << "C"
                              << "fr";
    QTest::newRow("absent de_DE") << ""
                                  << "de_DE"
                                  << "en";
    QTest::newRow("fr over en_GB") << "fr"
                                   << "en_GB"
                                   << "fr";
    QTest::newRow("unknown value") << "EN"
                                   << "fr_BE"
                                   << "fr";
}

void TestLangue::choix()
{
    QFETCH(QString, reglage);
    QFETCH(QString, locale);
    QFETCH(QString, langue);
    QCOMPARE(langueEffective(reglage, QLocale(locale)), langue);
}

void TestLangue::anglaisSansFrancais_data()
{
    QTest::addColumn<QByteArray>("reglage");
    QTest::addColumn<bool>("parLeMenu");
    // The test runs under LANG=en_US.UTF-8: no setting means English.
    QTest::newRow("system locale") << QByteArray() << false;
    QTest::newRow("menu, live") << QByteArray("Langue=fr\r\n") << true;
}

void TestLangue::anglaisSansFrancais()
{
    QFETCH(QByteArray, reglage);
    QFETCH(bool, parLeMenu);
    QSet<QString> francais; // the sources that English shows otherwise
    for (const Message& m : catalogue()) {
        if (m.traduction != m.source) {
            francais.insert(m.source);
        }
    }
    QVERIFY(francais.size() > 50);

    test::Banc banc(reglage);
    installeLangue(banc.config());
    Console& c = banc.console();
    if (parLeMenu) {
        // Open while the language changes: the windows that follow at once. The settings and
        // the history take it when they are opened next.
        for (const char* nom : {"About", "Aide", "smtp", "read_file_txt"}) {
            QVERIFY(banc.ouvre(QLatin1String(nom)));
        }
        QVERIFY(francais.contains(c.Frame3->title()));
        c.menuLangueEn->trigger();
        QCOMPARE(banc.moteur().parametres().Langue, kLangueAnglais);
        // The windows hear of the change through posted events.
        QTRY_VERIFY(!francais.contains(c.Frame3->title()));
    }
    QStringList restes;
    for (const QString& nom : test::kFenetres) {
        QWidget* w = banc.ouvre(nom);
        for (const QString& t : w ? textesVisibles(w) : QStringList()) {
            if (francais.contains(t)) {
                restes << w->objectName() + QStringLiteral(": ") + t;
            }
        }
    }
    QVERIFY2(restes.isEmpty(), qPrintable(restes.join(u'\n')));
}

void TestLangue::questionDeSortie_data()
{
    QTest::addColumn<QString>("langue");
    QTest::addColumn<QStringList>("textes");
    QTest::newRow("fr") << "fr"
                        << QStringList{"&Oui", "&Non",
                                       "Etes-vous s\u00fbr(e) de vouloir quitter ?"};
    QTest::newRow("en") << "en" << QStringList{"&Yes", "&No", "Are you sure you want to quit?"};
}

// The engine's question through the desktop's message box, answered No: nothing is saved.
void TestLangue::questionDeSortie()
{
    QFETCH(QString, langue);
    QFETCH(QStringList, textes);
    appliqueLangue(langue);
    test::Banc banc;
    QtMessageBoxes boites;
    Mailing mailing(banc.plateforme.clock);
    Publication publication;
    Moteur moteur(
        Platform{&boites, &banc.plateforme.sound, &banc.plateforme.links, &banc.plateforme.clock},
        banc.config(), banc.detecteur, mailing, publication, &banc.dns);
    moteur.Form_Load();
    QStringList vus;
    QTimer::singleShot(0, [&vus] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            vus << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text()
                << box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    QVERIFY(!moteur.Form_QueryUnload(QPoint()));
    QCOMPARE(vus, textes);
}

QTEST_MAIN(TestLangue)
#include "tst_langue.moc"
