// The word under the pointer in a help text, for any text (UTF-16 code units as they come,
// lone surrogates and line separators included) and any index: the properties that
// tests/ui/test_liens.cpp leaves to this target.

#include "propriete.h"
#include "ui/modliens.h"

#include <QString>
#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

using namespace corvane;

namespace {

bool delimiteur(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const int decalage = fdp.ConsumeIntegralInRange<int>(-3, 300);
    const std::vector<uint8_t> octets = fdp.ConsumeRemainingBytes<uint8_t>();
    QString texte;
    for (std::size_t i = 0; i + 1 < octets.size(); i += 2) {
        // Mostly printable text with now and then any code unit, so that words and links form.
        const char16_t u = char16_t(octets[i] | (octets[i + 1] << 8));
        texte += (octets[i + 1] & 0x80) ? QChar(u) : QChar(char16_t(octets[i] & 0x7F));
    }
    const qsizetype c = decalage;

    const InfoLien r = ChercheLien(texte, c);
    manque(!r.EstMail || r.EstLien, "a mail address is a link");
    manque(r.EstLien || r.Lien.isEmpty(), "no link, no address");
    manque(r.Lien.size() <= 199, "a link is at most 199 characters");
    for (const QChar ch : r.Lien) {
        manque(!delimiteur(ch.unicode()), "a link holds no delimiter");
    }
    if (r.EstLien) {
        manque(c >= 0 && c < texte.size() && !delimiteur(texte[c].unicode()),
               "a link is found only on a character of a word");
        // The word around c, without the scan's limits.
        qsizetype debut = c;
        while (debut > 0 && !delimiteur(texte[debut - 1].unicode())) {
            --debut;
        }
        qsizetype fin = c;
        while (fin < texte.size() && !delimiteur(texte[fin].unicode())) {
            ++fin;
        }
        const QStringView mot = QStringView(texte).sliced(debut, fin - debut);
        manque(mot.endsWith(r.Lien), "the link is the word under the pointer, or its tail");
        manque(c - debut < 100 && fin - c < 100, "the word's ends lie within the scan");
    }
    const QUrl url = adresseAOuvrir(r);
    if (!url.isEmpty()) {
        const QString schema = url.scheme().toLower();
        manque(r.EstLien && (schema == u"http" || schema == u"https" || schema == u"mailto"),
               "only web and mail links are opened");
    }
    return 0;
}
