// The detection page's answer, whatever bytes it holds: the test that takes or refuses it
// reads the same number a C library would, and an answer that is taken can only ever reach
// the PHP fragment as plain address characters or %XX escapes between the fixed parts.

#include "config/numbers.h"
#include "detect/detecteip.h"
#include "platform/textcodec.h"
#include "propriete.h"
#include "publish/fragment.h"

#include <QByteArray>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace corvane;

namespace {

// The leading decimal number as strtod reads it, once blanks are skipped and anything strtod
// would read further (exponents, hexadecimal, "inf", "nan") is cut away.
double reference(const QByteArray& b)
{
    qsizetype i = 0;
    while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\n' || b[i] == '\r')) {
        ++i;
    }
    std::string s;
    if (i < b.size() && (b[i] == '+' || b[i] == '-')) {
        s += b[i++];
    }
    bool chiffres = false;
    while (i < b.size() && b[i] >= '0' && b[i] <= '9') {
        s += b[i++];
        chiffres = true;
    }
    if (i < b.size() && b[i] == '.') {
        s += b[i++];
        while (i < b.size() && b[i] >= '0' && b[i] <= '9') {
            s += b[i++];
            chiffres = true;
        }
    }
    if (!chiffres) {
        return 0;
    }
    return std::strtod(s.c_str(), nullptr);
}

bool garde(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == ':' || c == '-';
}

int hex(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1; // lower case is not what the fragment writes
}

const QByteArray kDebut = "<?php\r\necho \"<img src=\\\"http://";
const QByteArray kFin =
    ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></img><br><br>\";\r\n?>\r\n";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray corps(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString texte = fromAnsi(corps);
    manque(toAnsi(texte) == corps, "every answer byte survives the code page both ways");

    const double v = valeurNumerique(texte);
    manque(std::isfinite(v), "the number read is finite");
    const double r = reference(corps);
    if (std::isfinite(r) && std::fabs(r) < 1e300) {
        manque(std::fabs(v - r) <= 1e-9 * std::fabs(r) + 1e-300,
               "the answer's number is the one strtod reads from its leading digits");
    }
    manque(reponseAcceptable(texte) == (v != 0),
           "an answer is taken exactly when its number is not 0");
    if (!reponseAcceptable(texte)) {
        return 0; // refused: nothing of it is written anywhere
    }

    const QByteArray f = fragmentIpActu(texte);
    manque(f.startsWith(kDebut) && f.endsWith(kFin) && f.size() >= kDebut.size() + kFin.size(),
           "the fragment keeps its fixed parts");
    const QByteArray milieu = f.mid(kDebut.size(), f.size() - kDebut.size() - kFin.size());
    manque(milieu == echappeAdresse(texte), "the address part is the escaped answer");
    QByteArray decode;
    for (qsizetype i = 0; i < milieu.size(); ++i) {
        const char c = milieu[i];
        if (garde(c)) {
            decode += c;
            continue;
        }
        manque(c == '%' && i + 2 < milieu.size() && hex(milieu[i + 1]) >= 0 &&
                   hex(milieu[i + 2]) >= 0,
               "the address part holds only address characters and %XX");
        const char octet = char(hex(milieu[i + 1]) * 16 + hex(milieu[i + 2]));
        manque(!garde(octet), "a character that may stay as it is is never escaped");
        decode += octet;
        i += 2;
    }
    manque(decode == corps, "the escapes give back the answer byte for byte");
    return 0;
}
