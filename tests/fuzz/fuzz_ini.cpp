// The settings reader over any bytes: unreadable never rewritten, the rest kept line for line.

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "propriete.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace corvane;

// A value as read back: line ends and NUL as blanks, trimmed, one pair of quotes dropped.
static QString lu(QString v)
{
    v.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    const auto blanc = [](QChar c) { return QStringView(u" \t\v\f").contains(c); };
    while (!v.isEmpty() && blanc(v.front())) {
        v.remove(0, 1);
    }
    while (!v.isEmpty() && blanc(v.back())) {
        v.chop(1);
    }
    return v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"') ? v.mid(1, v.size() - 2) : v;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const QString section = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(40)));
    const QString cle = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(40)));
    const QString valeur = fromAnsi(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(400)));
    const QByteArray fichier = QByteArray::fromStdString(fdp.ConsumeRemainingBytesAsString());

    IniFile ini = IniFile::fromBytes(fichier);
    const QByteArray relu = ini.toBytes();
    const DecodedText texte = decodeText(fichier);
    manque(texte.problem.isEmpty() || relu.isEmpty(), "text it cannot read is never rewritten");
    QString lignes = texte.text;
    lignes.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (!lignes.isEmpty() && !lignes.endsWith(u'\n')) {
        lignes += u'\n';
    }
    lignes.replace(u'\n', QStringLiteral("\r\n"));
    manque(relu == encodeText(lignes, texte.encoding),
           "bytes -> fromBytes -> toBytes keeps every line, CR LF ended, in its encoding");
    const QString avant = ini.value(section, cle);
    manque(IniFile::fromBytes(relu).value(section, cle) == avant, "rewritten file reads the same");

    // A name a key line can carry and still be found again by.
    const QString nom = cle.trimmed();
    for (const char16_t c : {u'=', u'\n', u'\r', u'\0'}) {
        if (cle.contains(c) || (c != u'=' && section.contains(c))) {
            return 0;
        }
    }
    if (nom.isEmpty() || nom.startsWith(u';') || nom.startsWith(u'[') || section.contains(u']')) {
        return 0;
    }
    ini.setValue(section, cle, valeur);
    manque(ini.value(section, cle) == lu(valeur), "a written value reads back trimmed, whole");
    return 0;
}
