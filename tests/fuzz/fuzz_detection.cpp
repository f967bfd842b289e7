// Any answer is taken exactly when inet_pton reads a specified address from it, trimmed.

#include "detect/detecteip.h"
#include "platform/textcodec.h"
#include "propriete.h"

#include <arpa/inet.h>

#include <string>

using namespace corvane;

// The address inet_pton reads from the trimmed answer, in binary; empty when it reads none.
static std::string binaire(const QByteArray& b)
{
    std::string t = b.toStdString();
    t.erase(0, t.find_first_not_of(" \t\r\n"));
    t.erase(t.find_last_not_of(" \t\r\n") + 1);
    unsigned char octets[16];
    for (const auto& [famille, taille] : {std::pair{AF_INET, 4}, std::pair{AF_INET6, 16}}) {
        if (t.find('\0') == std::string::npos && inet_pton(famille, t.c_str(), octets) == 1) {
            return std::string(reinterpret_cast<char*>(octets), taille);
        }
    }
    return {};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray corps(reinterpret_cast<const char*>(data), qsizetype(size));
    const LectureReponse lu = lisReponse(fromAnsi(corps));
    const std::string attendu = binaire(corps);
    const bool nul = attendu.find_first_not_of('\0') == std::string::npos;
    manque(lu.adresse.isEmpty() == (attendu.empty() || nul),
           "an answer is taken exactly when inet_pton reads a specified address from it");
    manque(lu.adresse.isEmpty() != lu.raison.isEmpty(),
           "a refused answer says why, a taken one not");
    for (const QChar c : lu.raison) {
        manque(c.isPrint(), "the reason holds no control character");
    }
    manque(lu.adresse.isEmpty() || binaire(lu.adresse.toLatin1()) == attendu,
           "the address kept is the one received");
    return 0;
}
