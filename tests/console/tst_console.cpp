// The main window as the engine's face: the user's clicks reach the engine and its reports
// reach the controls; a confirmed exit ends the application even with an error box open.

#include "support/fakes.h"
#include "support/fichiers.h"

#include "mail/mailing.h"
#include "platform/qtplatform.h"
#include "publish/publication.h"
#include "ui/console.h"
#include "ui/richtextview.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace corvane;
using namespace corvane::test;

namespace {

// A program folder of its own and the window over an engine whose detection is a fake.
struct Fenetre : DossierDeTravail {
    FakePlatform fp;
    FakeDetecteur detect;
    Mailing mailing{fp.clock};
    Publication publication;
    std::unique_ptr<Moteur> moteur;
    std::unique_ptr<Console> c;

    explicit Fenetre(MessageBoxes* boxes = nullptr)
    {
        const QString cfg = chemin("Corvane.cfg");
        ecrit(cfg, "[IP]\r\nDerniere IP=1.1.1.1\r\n[OPTION]\r\nColor text console=1\r\n"
                   "[REGLAGE]\r\nValeur_Bouton_Tempo=0\r\n");
        Platform p = fp.platform();
        p.boxes = boxes ? boxes : p.boxes;
        moteur = std::make_unique<Moteur>(p, cfg, detect, mailing, publication);
        c = std::make_unique<Console>(*moteur, mailing, publication, fp.links);
        c->Form_Load();
        c->show();
    }
};

// The Qt boxes, but the exit question answers Yes by itself.
class BoitesOui : public QtMessageBoxes {
public:
    bool ask(const QString&, const QString&) override { return true; }
};

} // namespace

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void clicsEtReports();
    void texteDuDehorsSansBalises();
    void sortieAvecUneBoiteOuverte();
};

void TestConsole::clicsEtReports()
{
    Fenetre f;
    Console& c = *f.c;
    Moteur& m = *f.moteur;
    QTest::mouseClick(c.CommandStart, Qt::LeftButton);
    QVERIFY(m.enMarche());
    f.detect.repond("2.2.2.2");
    QCOMPARE(c.LabelIp->text(), "2.2.2.2");
    QVERIFY(c.text1->text().endsWith("\nStart : \r\n05/12/2026 06:45:00\r\nIP = 2.2.2.2\r\n"));
    // Shown as three lines, as a copy of them reads.
    QVERIFY(c.text1->toPlainText().endsWith("\nStart : \n05/12/2026 06:45:00\nIP = 2.2.2.2\n"));

    const auto fond = [&] { return c.LabelIp->palette().color(QPalette::Window); };
    const QColor normal = fond();
    m.Timer1_Timer();
    QVERIFY(fond() != normal);
    QTest::mouseClick(c.LabelIp, Qt::LeftButton);
    QVERIFY(!m.alarme());
    QCOMPARE(fond(), normal);
}

// Addresses and the old log come from outside: markup in them is shown, never obeyed.
void TestConsole::texteDuDehorsSansBalises()
{
    Fenetre f;
    const QString balise = "<b>1.2.3.4</b><img src=x>";
    emit f.moteur->adresseAffichee(balise);
    emit f.moteur->journalCharge(balise);
    QCOMPARE(f.c->text1->toPlainText(), balise);
    // Read as rich text, the label would show a bold address, far narrower than the tags.
    QVERIFY(f.c->LabelIp->sizeHint().width() >=
            f.c->LabelIp->fontMetrics().horizontalAdvance(balise));
}

// The error boxes belong to no window: one left open used to keep the application running,
// unseen, after the user had confirmed the exit.
void TestConsole::sortieAvecUneBoiteOuverte()
{
    QCoreApplication::sendPostedEvents(); // nothing left from earlier tests
    BoitesOui boites;
    Fenetre f(&boites);
    boites.setOwner(f.c.get());
    QVERIFY(boites.notify("detection", "Corvane1.05", "Erreur", MessageBoxes::Icon::Critical));
    QTimer::singleShot(0, f.c.get(), [&] { f.c->close(); });
    QTimer garde; // the application still running, unseen
    connect(&garde, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    garde.start(5000);
    QCOMPARE(QApplication::exec(), 0);
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
