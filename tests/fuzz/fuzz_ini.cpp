// The settings reader over any bytes: what it does not know comes back unchanged, in the
// encoding it was read in, and a value it writes reads back whole.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "propriete.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

using namespace corvane;

namespace {

bool blanc(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

QString rogne(const QString& s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && blanc(s[a])) {
        ++a;
    }
    while (b > a && blanc(s[b - 1])) {
        --b;
    }
    return s.mid(a, b - a);
}

// What the reader should hand back for a value written as is: trimmed, one pair of enclosing
// quotes dropped.
QString lu(QString v)
{
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    v.replace(QChar(0), u' ');
    v = rogne(v);
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"')) {
        v = v.mid(1, v.size() - 2);
    }
    return v;
}

// The lines of a text: LF, CR LF or CR ends, the last end optional.
QStringList lignes(QString t)
{
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    QStringList l;
    if (t.isEmpty()) {
        return l;
    }
    l = t.split(u'\n');
    if (t.endsWith(u'\n')) {
        l.removeLast();
    }
    return l;
}

// A name a key line can carry and still be found again by its name.
bool nomDeCle(const QString& k)
{
    const QString t = rogne(k);
    return !t.isEmpty() && !k.contains(u'=') && !k.contains(u'\n') && !k.contains(u'\r') &&
           !k.contains(QChar(0)) && !t.startsWith(u';') && !t.startsWith(u'[');
}

bool nomDeSection(const QString& s)
{
    return !s.contains(u'\n') && !s.contains(u'\r') && !s.contains(u']') && !s.contains(QChar(0));
}

// b is a with one line replaced in place, or with lines added and none lost.
bool gardeLesLignes(const QStringList& a, const QStringList& b)
{
    if (a.size() == b.size()) {
        qsizetype changees = 0;
        for (qsizetype i = 0; i < a.size(); ++i) {
            changees += a[i] != b[i] ? 1 : 0;
        }
        return changees <= 1;
    }
    // a is an ordered part of b; taking the first match each time finds one when there is one.
    qsizetype j = 0;
    for (const QString& x : a) {
        while (j < b.size() && b[j] != x) {
            ++j;
        }
        if (j == b.size()) {
            return false;
        }
        ++j;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const QString section = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(40)));
    const QString cle = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(40)));
    const QString valeur = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(400)));
    const std::string reste = fdp.ConsumeRemainingBytesAsString();
    const QByteArray fichier(reste.data(), qsizetype(reste.size()));

    IniFile ini = IniFile::fromBytes(fichier);
    const QByteArray relu = ini.toBytes();
    const DecodedText texte = decodeText(fichier);
    manque(texte.problem.isEmpty() || relu.isEmpty(), "text it cannot read is never rewritten");
    QString attendu;
    for (const QString& l : lignes(texte.text)) {
        attendu += l + QStringLiteral("\r\n");
    }
    manque(relu == encodeText(attendu, texte.encoding),
           "bytes -> fromBytes -> toBytes keeps every line, CR LF ended, in its encoding");

    const QString avant = ini.value(section, cle);
    manque(!avant.contains(u'\n'), "a value holds no line feed");
    manque(IniFile::fromBytes(relu).value(section, cle) == avant, "rewritten file reads the same");

    if (!nomDeCle(cle) || !nomDeSection(section)) {
        return 0;
    }
    ini.setValue(section, cle, valeur);
    const QString apres = ini.value(section, cle);
    manque(apres == lu(valeur), "a written value reads back trimmed, unquoted, whole");
    const QByteArray ecrit = ini.toBytes();
    // A Windows-1252 file whose new bytes happen to be valid UTF-8 is read as UTF-8 next time:
    // that is the rule that tells the two apart, so the value is only compared when the
    // encoding stays.
    const bool ansi = texte.encoding == TextEncoding::Windows1252;
    if (decodeText(ecrit).encoding == texte.encoding) {
        manque(IniFile::fromBytes(ecrit).value(section, cle) ==
                   (ansi ? fromAnsi(toAnsi(apres)) : apres),
               "a written value survives the file");
    }
    const auto enTexte = [&](const QByteArray& b) {
        return ansi ? fromAnsi(b)
                    : QString::fromUtf8(texte.encoding == TextEncoding::Utf8WithBom ? b.mid(3) : b);
    };
    const QStringList nouvelles = lignes(enTexte(ecrit));
    const QStringList anciennes = lignes(enTexte(relu));
    manque(nouvelles.size() >= anciennes.size() && nouvelles.size() <= anciennes.size() + 3,
           "setValue changes one line or adds at most a blank, a header and a key");
    manque(gardeLesLignes(anciennes, nouvelles), "setValue keeps every other line in order");
    return 0;
}
