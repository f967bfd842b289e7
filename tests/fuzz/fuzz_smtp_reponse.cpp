// The SMTP reply reader over any stream, cut in two packets where the first byte says: the
// replies read never depend on the cut, and a refusal always has a reason to show.

#include "mail/smtpdialogue.h"
#include "propriete.h"

#include <cctype>

using namespace corvane;

static bool troisChiffres(const QByteArray& l)
{
    return l.size() >= 3 && std::isdigit(uchar(l[0])) && std::isdigit(uchar(l[1])) &&
           std::isdigit(uchar(l[2]));
}

// Reference reading: a reply ends at its first line not "ddd-"; no three digits is code 0.
static QList<int> codes(const QByteArray& flux)
{
    QList<int> out;
    const QList<QByteArray> lignes = flux.split('\n');
    for (qsizetype i = 0; i + 1 < lignes.size(); ++i) { // the last one is not ended
        const QByteArray& l = lignes[i];
        if (!troisChiffres(l) || l.size() == 3 || l[3] != '-') {
            out.append(troisChiffres(l) ? l.left(3).toInt() : 0);
        }
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const QByteArray flux(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype coupe = flux.isEmpty() ? 0 : data[0] % (flux.size() + 1);

    QByteArray tampon;
    QList<int> lus;
    for (const QByteArray& paquet : {flux.left(coupe), flux.mid(coupe)}) {
        tampon += paquet;
        while (const auto r = extraisReponseSmtp(tampon)) {
            manque(r->code >= 0 && r->code <= 999, "a reply code has three digits or is 0");
            manque(!r->ligne.contains(QLatin1Char('\n')), "a reply line holds no line feed");
            manque(!raisonRefus(*r).isEmpty(), "a refusal always has a reason to show");
            lus.append(r->code);
        }
    }
    manque(lus == codes(flux), "the replies read do not depend on how the packets were cut");
    // What is left is an unfinished reply: continuation lines ("ddd-") and an unended line.
    const QList<QByteArray> reste = tampon.split('\n');
    for (qsizetype i = 0; i + 1 < reste.size(); ++i) {
        manque(troisChiffres(reste[i]) && reste[i].size() > 3 && reste[i][3] == '-',
               "only an unfinished reply is left over");
    }
    return 0;
}
