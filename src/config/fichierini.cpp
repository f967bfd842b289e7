#include "config/fichierini.h"

#include "platform/textcodec.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

#include <optional>

namespace corvane {
namespace {

Q_LOGGING_CATEGORY(lcConfig, "corvane.config")

// A settings file is a few kilobytes; anything this large is not ours, and refusing it keeps a
// stray huge file from being loaded whole or silently rewritten.
constexpr qint64 kMaxConfigBytes = qint64(1024) * 1024;

// The blanks the profile functions strip: the C locale's white space, not Unicode's, so a
// no-break space (byte 0xA0) stays part of a name or value.
bool isBlank(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\r':
    case u'\n':
    case u'\v':
    case u'\f':
        return true;
    default:
        return false;
    }
}

QStringView trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(s[end - 1])) {
        --end;
    }
    return s.sliced(begin, end - begin);
}

// Qt's case-insensitive comparison folds the Windows-1252 letters too (À/à, Š/š, Œ/œ, Ÿ/ÿ),
// and leaves the signs that have no case ("°", "º") matching only themselves.
bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    QStringView name;  // section or key name, blanks removed
    QStringView value; // raw text after the first '=' (keys only)
};

// Lines that are neither a section header nor "name=value" (comments, junk, blank lines) are
// never matched: they are only carried through to the rewritten file.
ParsedLine parse(QStringView line)
{
    const QStringView t = trimBlanks(line);
    if (t.isEmpty() || t.front() == u';') {
        return {};
    }
    if (t.front() == u'[') {
        const qsizetype close = t.lastIndexOf(u']');
        if (close > 0) {
            return {ParsedLine::Section, trimBlanks(t.sliced(1, close - 1)), {}};
        }
        return {};
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0) {
        return {};
    }
    return {ParsedLine::Key, trimBlanks(t.first(eq)), t.sliced(eq + 1)};
}

QString cleanValue(QStringView raw)
{
    QStringView v = trimBlanks(raw);
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"') {
        v = v.sliced(1, v.size() - 2);
    }
    // Whole, however long: a value cut on reading would be written back cut at exit.
    return v.toString();
}

// A line break inside a value would split its line and let the rest of the text read as
// other keys or sections; a NUL (an address taken from a hostile answer) would make the whole
// file unreadable text at the next start. A blank takes their place and reads back trimmed.
QString oneLine(const QString& value)
{
    QString out = value;
    for (QChar& c : out) {
        if (c == u'\r' || c == u'\n' || c == u'\0') {
            c = u' ';
        }
    }
    return out;
}

struct SectionSpan {
    qsizetype header = -1; // index of the "[name]" line
    qsizetype end = -1;    // index just past the section's last line
};

// Only the first section of a name is ever looked at, for reading and for writing alike, as
// the Windows profile functions do: a later section of the same name is inert text, so a key
// that exists only there reads as missing and is written into the first section.
std::optional<SectionSpan> findSection(const QList<QString>& lines, QStringView section)
{
    const QStringView wanted = trimBlanks(section);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ParsedLine p = parse(lines[i]);
        if (p.kind != ParsedLine::Section || !sameName(p.name, wanted)) {
            continue;
        }
        qsizetype end = i + 1;
        while (end < lines.size() && parse(lines[end]).kind != ParsedLine::Section) {
            ++end;
        }
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

// The first line of the section naming the key: later duplicates are never read nor changed.
qsizetype findKey(const QList<QString>& lines, const SectionSpan& s, QStringView key)
{
    const QStringView wanted = trimBlanks(key);
    for (qsizetype i = s.header + 1; i < s.end; ++i) {
        const ParsedLine p = parse(lines[i]);
        if (p.kind == ParsedLine::Key && sameName(p.name, wanted)) {
            return i;
        }
    }
    return -1;
}

ReadResult readConfig(const QString& path)
{
    return readWholeFile(path, kMaxConfigBytes);
}

IniFile saveInto(IniFile ini, const Parametres& p)
{
    Parametres copy = p; // champ() hands out a writable reference
    for (const ConfigKey& k : clesConfig()) {
        const QString section = QString::fromUtf8(k.section);
        const QString key = QString::fromUtf8(k.key);
        if (k.optionnelle && champ(copy, k).isEmpty() && !ini.has(section, key)) {
            continue;
        }
        ini.setValue(section, key, champ(copy, k));
    }
    return ini;
}

} // namespace

IniFile IniFile::fromBytes(const QByteArray& bytes)
{
    IniFile ini;
    DecodedText d = decodeText(bytes);
    ini.encoding_ = d.encoding;
    ini.problem_ = d.problem;
    const QString& text = d.text;
    // CR LF, LF or a lone CR (an old Mac editor) each end one line. The last line break ends
    // the last line; it does not open an empty one.
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            continue;
        }
        ini.lines_.append(text.sliced(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        ini.lines_.append(text.sliced(start));
    }
    return ini;
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (const QString& line : lines_) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return encodeText(text, encoding_);
}

bool IniFile::has(const QString& section, const QString& key) const
{
    const auto s = findSection(lines_, section);
    return s && findKey(lines_, *s, key) >= 0;
}

QString IniFile::value(const QString& section, const QString& key) const
{
    const auto s = findSection(lines_, section);
    if (!s) {
        return {};
    }
    const qsizetype at = findKey(lines_, *s, key);
    if (at < 0) {
        return {};
    }
    return cleanValue(parse(lines_[at]).value);
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString line = key + u'=' + oneLine(value);
    const auto s = findSection(lines_, section);
    if (!s) {
        if (!lines_.isEmpty() && !trimBlanks(lines_.last()).isEmpty()) {
            lines_.append(QString()); // a blank line between sections, as the files have
        }
        lines_.append(u'[' + section + u']');
        lines_.append(line);
        return;
    }
    const qsizetype at = findKey(lines_, *s, key);
    if (at >= 0) {
        lines_[at] = line;
        return;
    }
    // After the section's last key, so that the blank line or comment that closes the
    // section stays before the next header.
    qsizetype insertAt = s->header + 1;
    for (qsizetype i = s->header + 1; i < s->end; ++i) {
        if (parse(lines_[i]).kind == ParsedLine::Key) {
            insertAt = i + 1;
        }
    }
    lines_.insert(insertAt, line);
}

const std::vector<ConfigKey>& clesConfig()
{
    static const std::vector<ConfigKey> keys = {{
        {"Mot de passe", "raz", &Parametres::Raz},
        {"IP", "Derniere IP", &Parametres::DerniereIP},
        {"ADRESSE HTTP", "adresse de IP detect.php", &Parametres::AdresseDetect},
        {"ADRESSE HTTP", "adresse de secours", &Parametres::AdresseSecours, -1, true},
        {"ADRESSE HTTP", "Famille", &Parametres::Famille, -1, true},
        {"ADRESSE HTTP", "Certificat", &Parametres::CertificatHttp, -1, true},
        {"ADRESSE FTP", "Nom de domaine", &Parametres::NomDomaine},
        {"ADRESSE FTP", "Mot de passe", &Parametres::MotDePasseFtp},
        {"ADRESSE FTP", "ftp hebergeur", &Parametres::FtpHebergeur},
        {"ADRESSE FTP", "fichier à transferer", &Parametres::FichierATransferer},
        {"ADRESSE FTP", "emplacement et fichier", &Parametres::EmplacementFichier},
        {"ADRESSE FTP", "Protocole", &Parametres::ProtocoleFtp, -1, true},
        {"ADRESSE FTP", "Empreinte hote", &Parametres::EmpreinteHote, -1, true},
        {"ADRESSE FTP", "Certificat", &Parametres::CertificatFtp, -1, true},
        {"SERVER", "N°port In", &Parametres::PortIn},
        {"OPTION", "Bip changement IP", &Parametres::BipChangement},
        {"OPTION", "Sauve Log", &Parametres::SauveLog},
        {"OPTION", "Upload fichier", &Parametres::UploadFichier},
        {"OPTION", "Mail Auto", &Parametres::MailAuto},
        {"OPTION", "Mode Debug", &Parametres::ModeDebug},
        {"OPTION", "Color text console", &Parametres::CouleurConsole},
        {"OPTION", "Mise a jour DNS", &Parametres::MiseAJourDns, -1, true},
        {"OPTION", "Demarrage auto", &Parametres::DemarrageAuto, -1, true},
        {"OPTION", "Fermer vers icone", &Parametres::FermerVersIcone, -1, true},
        {"SMTP", "Serveur smtp", &Parametres::ServeurSmtp},
        {"SMTP", "Message de", &Parametres::MessageDe},
        {"SMTP", "Sujet", &Parametres::Sujet},
        {"SMTP", "Message", &Parametres::Message},
        {"SMTP", "Adresse N°1", nullptr, 0},
        {"SMTP", "Adresse N°2", nullptr, 1},
        {"SMTP", "Adresse N°3", nullptr, 2},
        {"SMTP", "Adresse N°4", nullptr, 3},
        {"SMTP", "Adresse N°5", nullptr, 4},
        {"SMTP", "Adresse N°6", nullptr, 5},
        {"SMTP", "Adresse N°7", nullptr, 6},
        {"SMTP", "Adresse N°8", nullptr, 7},
        {"SMTP", "Adresse N°9", nullptr, 8},
        {"SMTP", "Adresse N°10", nullptr, 9},
        {"SMTP", "Securite", &Parametres::SecuriteSmtp, -1, true},
        {"SMTP", "Utilisateur", &Parametres::UtilisateurSmtp, -1, true},
        {"SMTP", "Mot de passe", &Parametres::MotDePasseSmtp, -1, true},
        {"SMTP", "Adresse expediteur", &Parametres::AdresseExpediteur, -1, true},
        {"SMTP", "Certificat", &Parametres::CertificatSmtp, -1, true},
        {"DNS", "Protocole", &Parametres::ProtocoleDns, -1, true},
        {"DNS", "Nom", &Parametres::NomDns, -1, true},
        {"DNS", "Serveur", &Parametres::ServeurDns, -1, true},
        {"DNS", "Zone", &Parametres::ZoneDns, -1, true},
        {"DNS", "Cle", &Parametres::CleDns, -1, true},
        {"DNS", "Algorithme", &Parametres::AlgorithmeDns, -1, true},
        {"DNS", "Secret", &Parametres::SecretDns, -1, true},
        {"DNS", "Utilisateur", &Parametres::UtilisateurDns, -1, true},
        {"DNS", "Mot de passe", &Parametres::MotDePasseDns, -1, true},
        {"DNS", "TTL", &Parametres::TtlDns, -1, true},
        {"REGLAGE", "Valeur_Bouton_Tempo", &Parametres::ValeurBoutonTempo},
        {"REGLAGE", "Langage Int", &Parametres::LangageInt},
        {"REGLAGE", "Taille fenetre", &Parametres::TailleFenetre},
        {"REGLAGE", "Position H", &Parametres::PositionH},
        {"REGLAGE", "Position V", &Parametres::PositionV},
        {"REGLAGE", "Toujours visible", &Parametres::ToujoursVisible},
        {"REGLAGE", "Langue", &Parametres::Langue, -1, true},
    }};
    return keys;
}

QString& champ(Parametres& p, const ConfigKey& k)
{
    if (k.field) {
        return p.*(k.field);
    }
    return p.Adresses.at(static_cast<std::size_t>(k.adresse));
}

QString CheminConfig()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/") + kNomConfig;
}

QString LireINI(const QString& path, const QString& section, const QString& key)
{
    const ReadResult r = readConfig(path);
    if (!r.ok) {
        return {};
    }
    return IniFile::fromBytes(r.data).value(section, key);
}

Parametres ChargeConfig(const QString& path, QString* probleme)
{
    Parametres p;
    const ReadResult r = readConfig(path);
    const IniFile ini = IniFile::fromBytes(r.data);
    if (probleme) {
        *probleme = r.ok || r.missing ? ini.problem() : r.raison;
    }
    if (!r.ok || !ini.problem().isEmpty()) {
        if (!r.missing) {
            qCWarning(lcConfig) << path << "illisible:" << (r.ok ? ini.problem() : r.raison);
        }
        return p;
    }
    for (const ConfigKey& k : clesConfig()) {
        champ(p, k) = ini.value(QString::fromUtf8(k.section), QString::fromUtf8(k.key));
    }
    return p;
}

namespace {

// The file as it is on disk, unless it cannot be taken as the base of a rewrite.
std::optional<IniFile> baseDeReecriture(const QString& path, WriteResult& refus)
{
    const ReadResult r = readConfig(path);
    QString probleme = r.ok || r.missing ? QString() : r.raison;
    IniFile lu = IniFile::fromBytes(r.data);
    if (probleme.isEmpty()) {
        probleme = lu.problem();
    }
    if (!probleme.isEmpty()) {
        // Rewriting from nothing would drop every line of the owner's file we could not see.
        refus = {Resultat::echec(
            QStringLiteral("fichier existant illisible (%1), il n'a pas été réécrit")
                .arg(probleme))};
        qCWarning(lcConfig) << path << refus.raison;
        return std::nullopt;
    }
    return lu;
}

WriteResult ecrit(const QString& path, const IniFile& ini)
{
    const WriteResult w = writeFileAtomically(path, ini.toBytes(), FileAccess::OwnerOnly);
    if (!w.ok) {
        qCWarning(lcConfig) << path << w.raison;
    }
    return w;
}

} // namespace

WriteResult SauveConfig(const Parametres& p, const QString& path)
{
    WriteResult refus;
    const std::optional<IniFile> lu = baseDeReecriture(path, refus);
    return lu ? ecrit(path, saveInto(*lu, p)) : refus;
}

WriteResult SauveChangements(const Parametres& lu, const Parametres& p, const QString& path)
{
    WriteResult refus;
    std::optional<IniFile> ini = baseDeReecriture(path, refus);
    if (!ini) {
        return refus;
    }
    Parametres avant = lu; // champ() hands out writable references
    Parametres apres = p;
    QStringList ecrites;
    for (const ConfigKey& k : clesConfig()) {
        const QString section = QString::fromUtf8(k.section);
        const QString key = QString::fromUtf8(k.key);
        const QString& valeur = champ(apres, k);
        const bool absente = !ini->has(section, key) && !(k.optionnelle && valeur.isEmpty());
        if (valeur != champ(avant, k) || absente) {
            ini->setValue(section, key, valeur);
            ecrites.append(key); // names only: some values are passwords
        }
    }
    qCDebug(lcConfig) << "written at exit:" << ecrites;
    return ecrit(path, *ini);
}

WriteResult ini_par_defaut(Parametres& p, const QString& path)
{
    p.Raz = QStringLiteral("non");
    p.DerniereIP = QStringLiteral("xxx.xxx.xxx.xxx");
    p.AdresseDetect = QStringLiteral("http://www.example.org/php/ip_check.php");
    p.NomDomaine = QStringLiteral("monsite");
    p.MotDePasseFtp = QStringLiteral("kkkkkkkk");
    p.FtpHebergeur = QStringLiteral("ftp.example.org");
    p.FichierATransferer = QStringLiteral("date.php");
    p.EmplacementFichier = QStringLiteral("/ma_page/date.php");
    p.BipChangement = QStringLiteral("0");
    p.SauveLog = QStringLiteral("1");
    p.UploadFichier = QStringLiteral("0");
    p.MailAuto = QStringLiteral("0");
    p.ModeDebug = QStringLiteral("0");
    p.CouleurConsole = QStringLiteral("1");
    p.ServeurSmtp = QStringLiteral("smtp.example.org");
    p.MessageDe = QStringLiteral("msg_auto_velmo");
    p.Sujet = QStringLiteral("Changement IP");
    p.Message = QStringLiteral("Hello, voici ma nouvelle IP");
    p.Adresses[0] = QStringLiteral("alice@example.org");
    p.Adresses[1] = QStringLiteral("bob@example.net");
    p.Adresses[2] = QStringLiteral("carol@example.org");
    p.Adresses[3].clear();
    p.Adresses[4].clear();
    p.PortIn = QStringLiteral("81");
    p.LangageInt = QStringLiteral("non");
    p.TailleFenetre.clear();
    p.PositionH.clear();
    p.PositionV.clear();
    return SauveConfig(p, path);
}

} // namespace corvane
