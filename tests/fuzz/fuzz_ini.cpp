// The settings reader over any bytes: what it does not know comes back unchanged, what it
// reads is never longer than a profile value can be, and a value it writes reads back.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "propriete.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

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
// quotes dropped, at most 254 characters.
QString lu(QString v)
{
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    v = rogne(v);
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"')) {
        v = v.mid(1, v.size() - 2);
    }
    return v.left(254);
}

// The lines as the file holds them: LF or CR LF ends, the last end optional.
QList<QByteArray> lignes(const QByteArray& b)
{
    QList<QByteArray> l;
    if (b.isEmpty()) {
        return l;
    }
    l = b.split('\n');
    if (b.endsWith('\n')) {
        l.removeLast();
    }
    for (QByteArray& x : l) {
        if (x.endsWith('\r')) {
            x.chop(1);
        }
    }
    return l;
}

// A name a key line can carry and still be found again by its name.
bool nomDeCle(const QString& k)
{
    const QString t = rogne(k);
    return !t.isEmpty() && !k.contains(u'=') && !k.contains(u'\n') && !k.contains(u'\r') &&
           !t.startsWith(u';') && !t.startsWith(u'[');
}

bool nomDeSection(const QString& s)
{
    return !s.contains(u'\n') && !s.contains(u'\r') && !s.contains(u']');
}

// a, with at most one line left out, is an ordered part of b.
bool gardeLesLignes(const QList<QByteArray>& a, const QList<QByteArray>& b)
{
    qsizetype j = 0;
    int sautees = 0;
    for (const QByteArray& x : a) {
        qsizetype k = j;
        while (k < b.size() && b[k] != x) {
            ++k;
        }
        if (k == b.size()) {
            if (++sautees > 1) { // only the replaced key line may be gone
                return false;
            }
            continue;
        }
        j = k + 1;
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
    QByteArray attendu;
    for (const QByteArray& l : lignes(fichier)) {
        attendu += l + "\r\n";
    }
    manque(relu == attendu, "bytes -> fromBytes -> toBytes keeps every line, CR LF ended");

    const QString avant = ini.value(section, cle);
    manque(avant.size() <= 254, "a value is at most 254 characters");
    manque(!avant.contains(u'\n'), "a value holds no line feed");
    manque(IniFile::fromBytes(relu).value(section, cle) == avant, "rewritten file reads the same");

    if (!nomDeCle(cle) || !nomDeSection(section)) {
        return 0;
    }
    ini.setValue(section, cle, valeur);
    const QString apres = ini.value(section, cle);
    manque(apres == lu(valeur), "a written value reads back trimmed, unquoted, cut");
    const QByteArray ecrit = ini.toBytes();
    manque(IniFile::fromBytes(ecrit).value(section, cle) == fromAnsi(toAnsi(apres)),
           "a written value survives the file");
    const QList<QByteArray> nouvelles = lignes(ecrit);
    const QList<QByteArray> anciennes = lignes(relu);
    manque(nouvelles.size() >= anciennes.size() && nouvelles.size() <= anciennes.size() + 3,
           "setValue changes one line or adds at most a blank, a header and a key");
    manque(gardeLesLignes(anciennes, nouvelles), "setValue keeps every other line in order");
    return 0;
}
