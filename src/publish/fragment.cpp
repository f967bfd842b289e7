#include "publish/fragment.h"

#include "platform/textcodec.h"

namespace corvane {
namespace {

bool gardeTelQuel(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == ':' || c == '-';
}

} // namespace

QByteArray echappeAdresse(const QString& adresse)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray octets = toAnsi(adresse);
    QByteArray out;
    out.reserve(octets.size());
    for (const char c : octets) {
        if (gardeTelQuel(c)) {
            out.append(c);
        } else {
            const auto b = static_cast<unsigned char>(c);
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        }
    }
    return out;
}

QByteArray fragmentIpActu(const QString& adresse)
{
    QByteArray f;
    f += "<?php\r\n";
    f += "echo \"<img src=\\\"http://";
    f += echappeAdresse(adresse);
    f += ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></img><br><br>\";\r\n";
    f += "?>\r\n";
    return f;
}

WriteResult ecritFragment(const QString& path, const QString& adresse)
{
    return writeFileAtomically(path, fragmentIpActu(adresse));
}

} // namespace corvane
