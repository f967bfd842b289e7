#include "mail/message.h"

#include "platform/textcodec.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// RFC 2047 asks lines holding encoded words to stay within 76 characters; folded plain text
// aims at RFC 5322's 78, and no line may ever pass 998.
constexpr qsizetype kLigneMots = 76;
constexpr qsizetype kLigneConseillee = 78;
constexpr qsizetype kLigneMax = 998;

bool asciiImprimable(const QString& texte)
{
    for (const QChar c : texte) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) {
            return false;
        }
    }
    // Text that looks like an encoded word would be decoded by the reader.
    return !texte.contains(QStringLiteral("=?"));
}

// UTF-8 bytes that fit in one encoded word on a line with this much room.
qsizetype octetsPour(qsizetype place)
{
    const qsizetype base64 = (place - 12) / 4; // "=?UTF-8?B?" and "?=" take 12
    return std::max<qsizetype>(1, base64) * 3;
}

QString motEncode(const QByteArray& utf8)
{
    return QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(utf8.toBase64()) +
           QStringLiteral("?=");
}

// The text as encoded words, cut between characters (never inside one), the first word sized
// for a line that already holds dejaPris characters.
QStringList motsEncodes(const QString& texte, qsizetype dejaPris)
{
    QStringList mots;
    QByteArray courant;
    qsizetype budget = octetsPour(kLigneMots - dejaPris);
    for (qsizetype i = 0; i < texte.size();) {
        const qsizetype n =
            texte[i].isHighSurrogate() && i + 1 < texte.size() && texte[i + 1].isLowSurrogate() ? 2
                                                                                                : 1;
        const QByteArray caractere = texte.mid(i, n).toUtf8();
        i += n;
        if (!courant.isEmpty() && courant.size() + caractere.size() > budget) {
            mots << motEncode(courant);
            courant.clear();
            budget = octetsPour(kLigneMots - 1); // a continuation line starts with one space
        }
        courant += caractere;
    }
    if (!courant.isEmpty()) {
        mots << motEncode(courant);
    }
    return mots;
}

// "Nom:" and the tokens, one space between two; a line grown past the advised length is folded
// before a token (the space starts the continuation line), so unfolding gives the text back.
QString plie(const QString& debut, const QStringList& jetons)
{
    QString texte = debut;
    qsizetype ligne = debut.size();
    for (qsizetype i = 0; i < jetons.size(); ++i) {
        const QString& j = jetons[i];
        if (i > 0 && !j.isEmpty() && ligne + 1 + j.size() > kLigneConseillee) {
            texte += kCrLf;
            ligne = 0;
        }
        texte += QLatin1Char(' ') + j;
        ligne += 1 + j.size();
    }
    return texte;
}

bool tropLongue(const QString& lignes)
{
    for (const QString& l : lignes.split(kCrLf)) {
        if (l.size() > kLigneMax) {
            return true;
        }
    }
    return false;
}

bool atomes(const QString& nom)
{
    static const QRegularExpression re(
        QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+( [A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*$"));
    return re.match(nom).hasMatch();
}

// The display name's tokens, for a line that already holds dejaPris characters.
QStringList jetonsNom(const QString& nom, qsizetype dejaPris, bool forceEncodage)
{
    if (nom.isEmpty()) {
        return {};
    }
    if (forceEncodage || !asciiImprimable(nom)) {
        return motsEncodes(nom, dejaPris);
    }
    if (atomes(nom)) {
        return nom.split(QLatin1Char(' '));
    }
    QString q = nom;
    q.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    q.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return {QLatin1Char('"') + q + QLatin1Char('"')};
}

QString ligneFrom(const QString& nomBrut, const QString& adresseBrute)
{
    const QString adresse = surUneLigne(adresseBrute).trimmed();
    QString nom = surUneLigne(nomBrut).trimmed();
    if (!adresse.isEmpty() && nom == adresse) {
        nom.clear(); // "a@b <a@b>" says nothing more than "<a@b>"
    }
    const QString chevrons = adresse.isEmpty() ? QStringLiteral("<>") : entreChevrons(adresse);
    const QString debut = QStringLiteral("From:");
    QString ligne = plie(debut, jetonsNom(nom, debut.size() + 1, false) << chevrons);
    if (tropLongue(ligne)) {
        ligne = plie(debut, jetonsNom(nom, debut.size() + 1, true) << chevrons);
    }
    return ligne;
}

} // namespace

QString CorpsMail(const QString& message, const QString& ipActuelle, const QString& texteUTC)
{
    return message + QLatin1Char(' ') + ipActuelle + QStringLiteral(" at ") + texteUTC + kCrLf +
           QStringLiteral("  - Bye -") + kCrLf + kCrLf + QString(56, QLatin1Char('-')) + kCrLf +
           QStringLiteral("This mail sent by a robot.") + kCrLf +
           QStringLiteral("Don't reply at this automatic message.");
}

QString surUneLigne(QString texte)
{
    texte.remove(QLatin1Char('\r'));
    texte.remove(QLatin1Char('\n'));
    return texte;
}

QString dateRfc5322(const QDateTime& instant)
{
    static const char* const jours[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const mois[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = instant.date();
    const QTime t = instant.time();
    const int decalage = instant.offsetFromUtc() / 60;
    const int absolu = std::abs(decalage);
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(jours[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(mois[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(decalage < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(absolu / 60, 2, 10, QLatin1Char('0'))
        .arg(absolu % 60, 2, 10, QLatin1Char('0'));
}

QString nouveauMessageId(const QString& adresseExpediteur, const QDateTime& instant)
{
    QString domaine = adresseExpediteur.section(QLatin1Char('@'), -1);
    if (!adresseExpediteur.contains(QLatin1Char('@'))) {
        domaine.clear();
    }
    static const QRegularExpression horsDomaine(QStringLiteral("[^A-Za-z0-9.-]"));
    domaine.remove(horsDomaine);
    if (domaine.isEmpty()) {
        domaine = QStringLiteral("localhost");
    }
    const quint64 hasard = QRandomGenerator::system()->generate64();
    return QLatin1Char('<') + instant.toUTC().toString(QStringLiteral("yyyyMMddhhmmss")) +
           QLatin1Char('.') + QStringLiteral("%1").arg(hasard, 16, 16, QLatin1Char('0')) +
           QLatin1Char('@') + domaine + QLatin1Char('>');
}

QString ligneEntete(const QString& nom, const QString& valeurBrute)
{
    const QString valeur = surUneLigne(valeurBrute);
    const QString debut = nom + QLatin1Char(':');
    if (valeur.isEmpty()) {
        return debut;
    }
    if (asciiImprimable(valeur)) {
        const QString ligne = plie(debut, valeur.split(QLatin1Char(' ')));
        if (!tropLongue(ligne)) {
            return ligne;
        }
    }
    return plie(debut, motsEncodes(valeur, debut.size() + 1));
}

QString phraseAffichee(const QString& nom)
{
    return jetonsNom(surUneLigne(nom), 0, false).join(QLatin1Char(' '));
}

QByteArray contenuMessage(const EnteteMail& e, const QString& corps)
{
    const QDateTime date = e.date.isValid() ? e.date : QDateTime::currentDateTime();
    QString texte = QStringLiteral("Date: ") + dateRfc5322(date) + kCrLf +
                    QStringLiteral("Message-ID: ") + surUneLigne(e.messageId) + kCrLf +
                    ligneFrom(e.nomExpediteur, e.adresseExpediteur) + kCrLf +
                    QStringLiteral("To: ") + surUneLigne(e.destinataire) + kCrLf +
                    ligneEntete(QStringLiteral("Subject"), e.sujet) + kCrLf +
                    QStringLiteral("MIME-Version: 1.0") + kCrLf +
                    QStringLiteral("Content-Type: text/plain; charset=windows-1252") + kCrLf +
                    QStringLiteral("Content-Transfer-Encoding: 8bit") + kCrLf + kCrLf;
    static const QRegularExpression finDeLigne(QStringLiteral("\r\n|\r|\n"));
    const QStringList lignes = corps.split(finDeLigne);
    for (const QString& ligne : lignes) {
        // A line that starts with "." would otherwise be taken for (or lose a dot to) the
        // end of data; the server removes the added dot.
        if (ligne.startsWith(QLatin1Char('.'))) {
            texte += QLatin1Char('.');
        }
        texte += ligne + kCrLf;
    }
    texte += kCrLf + QStringLiteral(".") + kCrLf;
    return toAnsi(texte);
}

std::optional<Securite> lisSecurite(const QString& valeur)
{
    const QString v = valeur.trimmed().toLower();
    if (v.isEmpty() || v == QLatin1String("aucune")) {
        return Securite::Aucune;
    }
    if (v == QLatin1String("starttls")) {
        return Securite::StartTls;
    }
    if (v == QLatin1String("ssl")) {
        return Securite::Ssl;
    }
    return std::nullopt;
}

quint16 portParDefaut(Securite securite)
{
    switch (securite) {
    case Securite::StartTls:
        return kPortSoumission;
    case Securite::Ssl:
        return kPortSmtps;
    case Securite::Aucune:
        break;
    }
    return kPortSmtp;
}

QString adresseEnvoi(const QString& adresseExpediteur, const QString& utilisateur,
                     const QString& messageDe)
{
    const auto adresse = [](const QString& v) {
        QString a = surUneLigne(v).trimmed();
        if (a.startsWith(QLatin1Char('<')) && a.endsWith(QLatin1Char('>'))) {
            a = a.mid(1, a.size() - 2).trimmed();
        }
        return a;
    };
    const auto estAdresse = [](const QString& a) {
        return a.contains(QLatin1Char('@')) && !a.contains(QLatin1Char(' ')) &&
               !a.contains(QLatin1Char('<')) && !a.contains(QLatin1Char('>'));
    };
    if (const QString a = adresse(adresseExpediteur); !a.isEmpty()) {
        return a;
    }
    if (const QString u = adresse(utilisateur); estAdresse(u)) {
        return u;
    }
    if (const QString m = adresse(messageDe); estAdresse(m)) {
        return m;
    }
    return {};
}

QString entreChevrons(const QString& adresse)
{
    const QString a = surUneLigne(adresse);
    if (a.startsWith(QLatin1Char('<')) && a.endsWith(QLatin1Char('>')) && a.size() >= 2) {
        return a;
    }
    return QLatin1Char('<') + a + QLatin1Char('>');
}

ServeurSmtp lisServeurSmtp(const QString& valeur, quint16 portDefaut)
{
    ServeurSmtp s;
    s.port = portDefaut;
    const QString v = valeur.trimmed();
    QString portTexte;
    if (v.isEmpty()) {
        s.erreur = QStringLiteral("serveur smtp non renseigné");
        return s;
    }
    if (v.startsWith(QLatin1Char('['))) {
        const qsizetype fin = v.indexOf(QLatin1Char(']'));
        if (fin < 0) {
            s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
            return s;
        }
        s.hote = v.mid(1, fin - 1);
        const QString reste = v.mid(fin + 1);
        if (!reste.isEmpty()) {
            if (!reste.startsWith(QLatin1Char(':'))) {
                s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
                return s;
            }
            portTexte = reste.mid(1);
        }
    } else if (v.count(QLatin1Char(':')) == 1) {
        const qsizetype deuxPoints = v.indexOf(QLatin1Char(':'));
        s.hote = v.left(deuxPoints);
        portTexte = v.mid(deuxPoints + 1);
    } else {
        // No colon, or several: a host name or a bare v6 address, on the standard port.
        s.hote = v;
    }
    if (s.hote.isEmpty()) {
        s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
        return s;
    }
    if (!portTexte.isNull()) {
        bool ok = false;
        const uint port = portTexte.toUInt(&ok, 10);
        if (!ok || port == 0 || port > 65535) {
            s.erreur = QStringLiteral("port smtp invalide : ") + v;
            return s;
        }
        s.port = static_cast<quint16>(port);
    }
    return s;
}

} // namespace corvane
