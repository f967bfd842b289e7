#include "config/validation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#include <arpa/inet.h>

namespace corvane {
namespace {

// Its messages are translated under the context "Validation".
struct Validation {
    static QString hote(const QString& h);
    static QString hotePort(const QString& t);
    static QString url(const QString& t);
    static QString adresseMail(const QString& t);
    static QString cheminDistant(const QString& t);
    static QString empreinte(const QString& t);
    static QString ttl(const QString& t);
    static QString base64(const QString& t);
    static QString fichier(const QString& t);
    static QString uneLigne(const QString& t);
    static QString choix(const QString& t, const QStringList& choix);
};

bool controle(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool chiffres(QStringView t)
{
    return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
}

bool etiquetteValide(QStringView e)
{
    return !e.isEmpty() && e.size() <= 63 && !e.startsWith(u'-') && !e.endsWith(u'-') &&
           std::all_of(e.begin(), e.end(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                      (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
           });
}

bool nomValide(QString nom)
{
    if (nom.endsWith(u'.')) { // a fully qualified name
        nom.chop(1);
    }
    if (nom.isEmpty() || nom.size() > 253) {
        return false;
    }
    const QStringList etiquettes = nom.split(u'.');
    return std::all_of(etiquettes.begin(), etiquettes.end(),
                       [](const QString& e) { return etiquetteValide(e); });
}

QString Validation::hote(const QString& h)
{
    if (h.startsWith(u'[') && h.endsWith(u']')) {
        return litteralIPv6(h.mid(1, h.size() - 2))
                   ? QString()
                   : QCoreApplication::translate("Validation",
                                                 "adresse IPv6 invalide entre crochets");
    }
    return nomValide(h)
               ? QString()
               : QCoreApplication::translate("Validation", "nom d'hôte invalide : « %1 »").arg(h);
}

QString Validation::hotePort(const QString& texte)
{
    const QString t = texte.trimmed();
    if (t.count(u':') > 1 && !t.startsWith(u'[')) { // a bare IPv6 address, without a port
        return litteralIPv6(t)
                   ? QString()
                   : QCoreApplication::translate(
                         "Validation", "adresse IPv6 invalide (avec un port : [adresse]:port)");
    }
    qsizetype deuxPoints = t.lastIndexOf(u':');
    if (t.startsWith(u'[') && deuxPoints < t.indexOf(u']')) {
        deuxPoints = -1;
    }
    const QString h = deuxPoints < 0 ? t : t.left(deuxPoints);
    if (deuxPoints >= 0) {
        const QString port = t.mid(deuxPoints + 1);
        if (!chiffres(port) || port.size() > 5 || port.toInt() < 1 || port.toInt() > 65535) {
            return QCoreApplication::translate("Validation",
                                               "port invalide : « %1 » (de 1 à 65535)")
                .arg(port);
        }
    }
    return hote(h);
}

QString Validation::url(const QString& texte)
{
    const QString t = texte.trimmed();
    if (std::any_of(t.begin(), t.end(), [](QChar c) { return c.isSpace() || controle(c); })) {
        return QCoreApplication::translate("Validation",
                                           "une adresse web ne contient pas d'espace");
    }
    const QUrl u(t, QUrl::StrictMode);
    const QString schema = u.scheme().toLower();
    if (!u.isValid() || (schema != u"http" && schema != u"https")) {
        return QCoreApplication::translate(
            "Validation", "adresse web attendue : http://hôte/chemin ou https://hôte/chemin");
    }
    if (u.host().isEmpty()) {
        return QCoreApplication::translate("Validation", "adresse web sans nom d'hôte");
    }
    return {};
}

QString Validation::adresseMail(const QString& texte)
{
    const QString t = texte.trimmed();
    if (std::any_of(t.begin(), t.end(), [](QChar c) {
            return c.isSpace() || controle(c) || c == u'<' || c == u'>' || c == u',';
        })) {
        return QCoreApplication::translate(
            "Validation",
            "une adresse mail ne contient ni espace, ni retour à la ligne, ni <, > ou ,");
    }
    const qsizetype arobase = t.indexOf(u'@');
    if (arobase <= 0 || arobase != t.lastIndexOf(u'@') || arobase == t.size() - 1) {
        return QCoreApplication::translate("Validation", "adresse mail attendue : nom@domaine");
    }
    const QString domaine = t.mid(arobase + 1);
    if (!hote(domaine).isEmpty()) {
        return QCoreApplication::translate("Validation", "domaine invalide après @ : « %1 »")
            .arg(domaine);
    }
    return {};
}

QString Validation::cheminDistant(const QString& t)
{
    if (t.endsWith(u'/')) {
        return QCoreApplication::translate(
            "Validation",
            "l'emplacement doit finir par un nom de fichier, par exemple /www/date.php");
    }
    return {};
}

QString Validation::empreinte(const QString& texte)
{
    const QString t = texte.trimmed();
    QString base = t.mid(7);
    if (base.endsWith(u'=')) {
        base.chop(1);
    }
    const bool b64 = std::all_of(base.begin(), base.end(), [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
               c == u'+' || c == u'/';
    });
    if (!t.startsWith(QLatin1String("SHA256:")) || base.size() != 43 || !b64) {
        return QCoreApplication::translate(
            "Validation", "empreinte attendue : SHA256: suivi de 43 caractères (ssh-keygen -lf)");
    }
    return {};
}

QString Validation::ttl(const QString& texte)
{
    const QString t = texte.trimmed();
    bool ok = false;
    const qulonglong n = t.toULongLong(&ok);
    if (!chiffres(t) || t.size() > 10 || !ok || n > 0x7fffffffULL) {
        return QCoreApplication::translate(
            "Validation", "durée en secondes attendue (un nombre, 300 par défaut)");
    }
    return {};
}

QString Validation::base64(const QString& texte)
{
    const QString t = texte.trimmed();
    const auto decode =
        QByteArray::fromBase64Encoding(t.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decode || decode.decoded.isEmpty() || t.size() % 4 != 0 ||
        std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() > 0x7f; })) {
        return QCoreApplication::translate("Validation", "secret attendu en base64");
    }
    return {};
}

QString Validation::fichier(const QString& t)
{
    const QFileInfo f(t.trimmed());
    if (!f.exists()) {
        return QCoreApplication::translate("Validation", "fichier introuvable : %1")
            .arg(t.trimmed());
    }
    if (!f.isFile()) {
        return QCoreApplication::translate("Validation", "pas un fichier ordinaire : %1")
            .arg(t.trimmed());
    }
    return {};
}

QString Validation::uneLigne(const QString& t)
{
    return std::any_of(t.begin(), t.end(), controle)
               ? QCoreApplication::translate("Validation",
                                             "la valeur ne peut pas contenir de retour à la ligne")
               : QString();
}

QString Validation::choix(const QString& valeur, const QStringList& choix)
{
    const QString t = valeur.trimmed().toLower();
    return t.isEmpty() || choix.contains(t)
               ? QString()
               : QCoreApplication::translate("Validation", "valeur inconnue : « %1 » (%2)")
                     .arg(valeur, choix.join(QStringLiteral(", ")));
}

} // namespace

QString verifieValeur(GenreValeur genre, const QString& valeur)
{
    if (valeur.trimmed().isEmpty()) {
        return {};
    }
    if (const QString ligne = Validation::uneLigne(valeur); !ligne.isEmpty()) {
        return ligne;
    }
    switch (genre) {
    case GenreValeur::Texte:
        return {};
    case GenreValeur::Url:
        return Validation::url(valeur);
    case GenreValeur::HotePort:
        return Validation::hotePort(valeur);
    case GenreValeur::AdresseMail:
        return Validation::adresseMail(valeur);
    case GenreValeur::CheminDistant:
        return Validation::cheminDistant(valeur);
    case GenreValeur::Empreinte:
        return Validation::empreinte(valeur);
    case GenreValeur::Ttl:
        return Validation::ttl(valeur);
    case GenreValeur::NomHote:
        return nomValide(valeur.trimmed())
                   ? QString()
                   : QCoreApplication::translate("Validation", "nom DNS invalide : « %1 »")
                         .arg(valeur.trimmed());
    case GenreValeur::Base64:
        return Validation::base64(valeur);
    case GenreValeur::Fichier:
        return Validation::fichier(valeur);
    }
    return {};
}

bool litteralIPv6(const QString& texte)
{
    const qsizetype zone = texte.indexOf(u'%');
    if (zone == texte.size() - 1) {
        return false;
    }
    const QByteArray adresse = (zone < 0 ? texte : texte.left(zone)).toLatin1();
    in6_addr octets{};
    return !adresse.contains('\0') && inet_pton(AF_INET6, adresse.constData(), &octets) == 1;
}

QString verifieChoix(const QString& valeur, const QStringList& choix)
{
    return Validation::choix(valeur, choix);
}

} // namespace corvane
