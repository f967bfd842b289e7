// The settings window's checks, value by value, without a window.

#include "config/validation.h"

#include <QTest>

using corvane::GenreValeur;

class TestValidation : public QObject {
    Q_OBJECT
private slots:
    void valeur_data();
    void valeur();
};

void TestValidation::valeur_data()
{
    QTest::addColumn<GenreValeur>("genre");
    QTest::addColumn<QString>("texte");
    QTest::addColumn<bool>("bon");
    using G = GenreValeur;
    const struct {
        G genre;
        QString texte;
        bool bon;
    } lignes[] = {
        {G::Url, "http://[::1]/ip", true},
        {G::HotePort, "[2001:db8::1]:2121", true},
        {G::HotePort, "2001:db8::1", true},
        {G::HotePort, "hote:65536", false},
        {G::HotePort, "mauvais hote", false},
        {G::AdresseMail, "root@localhost", true},
        {G::AdresseMail, "moi@example.org\r\nRCPT TO:<x@y>", false},
        {G::Empreinte, "SHA256:" + QString(43, u'A') + "=", true},
        {G::Empreinte, "SHA256:" + QString(42, u'A'), false},
        {G::Ttl, "2147483647", true},
        {G::Ttl, "2147483648", false},
        {G::NomHote, "maison.example.org.", true},
        {G::NomHote, "maison..example.org", false},
        {G::Base64, "c2VjcmV0IGRlIHRlc3Q=", true},
        {G::Base64, "abc", false},
        {G::Ttl, "  ", true}, // empty passes, whatever the kind
    };
    for (const auto& l : lignes) {
        QTest::addRow("%d %s", int(l.genre), qPrintable(l.texte)) << l.genre << l.texte << l.bon;
    }
}

void TestValidation::valeur()
{
    QFETCH(GenreValeur, genre);
    QFETCH(QString, texte);
    QFETCH(bool, bon);
    const QString raison = corvane::verifieValeur(genre, texte);
    QVERIFY2(raison.isEmpty() == bon, qPrintable(raison));
}

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
