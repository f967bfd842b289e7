// The detection page's answer, whatever bytes it holds: it is taken exactly when the C
// library's inet_pton reads it as an address (once blanks and line ends are trimmed), other
// than an unspecified one, and what is kept is that same address; the fragment holds any text
// as plain address characters or %XX escapes between its fixed parts, and a taken address as
// itself (IPv6 between brackets).

#include "detect/detecteip.h"
#include "platform/textcodec.h"
#include "propriete.h"
#include "publish/fragment.h"

#include <QByteArray>

#include <arpa/inet.h>

#include <string>

using namespace corvane;

namespace {

// The address inet_pton reads from the trimmed answer, in binary; empty when it reads none.
std::string binaire(const QByteArray& b)
{
    qsizetype debut = 0;
    qsizetype fin = b.size();
    const auto blanc = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (debut < fin && blanc(b[debut])) {
        ++debut;
    }
    while (fin > debut && blanc(b[fin - 1])) {
        --fin;
    }
    const std::string t(b.constData() + debut, std::size_t(fin - debut));
    if (t.find('\0') != std::string::npos) {
        return {};
    }
    unsigned char octets[16];
    if (inet_pton(AF_INET, t.c_str(), octets) == 1) {
        return std::string(reinterpret_cast<char*>(octets), 4);
    }
    if (inet_pton(AF_INET6, t.c_str(), octets) == 1) {
        return std::string(reinterpret_cast<char*>(octets), 16);
    }
    return {};
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray corps(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString texte = fromAnsi(corps);
    const LectureReponse lu = lisReponse(texte);
    const std::string attendu = binaire(corps);
    const bool nul = attendu.find_first_not_of('\0') == std::string::npos;
    manque(lu.adresse.isEmpty() == (attendu.empty() || nul),
           "an answer is taken exactly when inet_pton reads a specified address from it");
    manque(lu.adresse.isEmpty() != lu.raison.isEmpty(),
           "a refused answer says why, a taken one not");
    for (const QChar c : lu.raison) {
        manque(c.isPrint(), "the reason holds no control character");
    }
    if (!lu.adresse.isEmpty()) {
        const QByteArray a = lu.adresse.toLatin1();
        manque(binaire(a) == attendu, "the address kept is the one received");
        const QByteArray f = fragmentIpActu(lu.adresse);
        manque(f == kDebut + (a.contains(':') ? '[' + a + ']' : a) + kFin,
               "a taken address is written as itself, IPv6 between brackets");
    }

    const QByteArray f = fragmentIpActu(texte);
    manque(f.startsWith(kDebut) && f.endsWith(kFin) && f.size() >= kDebut.size() + kFin.size(),
           "the fragment keeps its fixed parts");
    QByteArray milieu = f.mid(kDebut.size(), f.size() - kDebut.size() - kFin.size());
    if (milieu.startsWith('[') && milieu.endsWith(']')) {
        milieu = milieu.mid(1, milieu.size() - 2); // brackets only ever come around the text
    }
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
