// The history window, once: its timeline draws one bar for each time an address was held.
// CORVANE_CAPTURE=<file.png> also saves the window's picture there (the README's screenshot).

#include "ui/historiquewindow.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using Issue = BilanChangement::Issue;

class TestFenetreHistorique : public QObject {
    Q_OBJECT
private slots:
    void chronologie();
};

void TestFenetreHistorique::chronologie()
{
    QTemporaryDir dir;
    const QString base = dir.filePath("corvane.db");
    const QDateTime t = QDateTime::currentDateTimeUtc().addDays(-4);
    const QList<IssueMail> mails{{"moi@exemple.fr", true, {}},
                                 {"bureau@exemple.fr", false, "550 bo\u00eete pleine"}};
    // One change per row: hours after t, the old and new address, the fallback page, upload.
    const QList<std::tuple<int, QString, QString, bool, QString>> lignes{
        {0, "192.0.2.10", "198.51.100.7", false, {}},
        {38, "198.51.100.7", "203.0.113.42", true, "530 Login incorrect"},
        {70, "203.0.113.42", "198.51.100.7", false, {}}};
    {
        Historique h(base);
        for (const auto& [heures, de, vers, secours, refus] : lignes) {
            Changement c;
            c.heure = t.addSecs(heures * 3600);
            c.ancienne = de;
            c.nouvelle = vers;
            c.secours = secours;
            c.url = secours ? "https://secours.exemple.fr/ip" : "https://ip.exemple.fr/detect.php";
            c.parAdresse = secours ? mails : mails.mid(0, 1);
            c.mails = secours ? Issue::Echec : Issue::Ok;
            c.upload = refus.isEmpty() ? Issue::Ok : Issue::Echec;
            c.raisonUpload = refus;
            QVERIFY(h.ajoute(c).ok);
        }
        QVERIFY(h.debutEchec(t.addSecs(30 * 3600), "d\u00e9lai d\u00e9pass\u00e9 (10 s)").ok);
        QVERIFY(h.finEchec(t.addSecs(38 * 3600)).ok);
    }
    // Held: 192.0.2.10 (before), 198.51.100.7, 203.0.113.42, 198.51.100.7 again.
    FenetreHistorique w(base);
    w.resize(1140, 440);
    const QPixmap image = w.grab();
    QCOMPARE(w.findChild<Chronologie*>()->barresDessinees(), 4);
    if (const QString capture = qEnvironmentVariable("CORVANE_CAPTURE"); !capture.isEmpty()) {
        QVERIFY(image.save(capture));
    }
}

QTEST_MAIN(TestFenetreHistorique)
#include "tst_fenetrehistorique.moc"
