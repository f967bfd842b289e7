#include "publish/fragment.h"

#include "config/validation.h"
#include "platform/textcodec.h"

namespace corvane {
namespace {

bool gardeTelQuel(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == ':' || c == '-';
}

// An IPv6 address is a URL host only between brackets. Only a bare literal gets them: a zone,
// a blank or anything else around it is left to plain escaping like any other text.
bool estIPv6(const QString& adresse)
{
    for (const QChar c : adresse) {
        const char16_t u = c.unicode();
        const bool hex =
            (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!hex && u != u':' && u != u'.') {
            return false;
        }
    }
    return litteralIPv6(adresse);
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
    if (estIPv6(adresse)) {
        f += '[' + echappeAdresse(adresse) + ']';
    } else {
        f += echappeAdresse(adresse);
    }
    f += ":81/graphs?format=jpg&starttime=$start&stoptime=$stop\\\"></img><br><br>\";\r\n";
    f += "?>\r\n";
    return f;
}

WriteResult ecritFragment(const QString& path, const QString& adresse)
{
    return writeFileAtomically(path, fragmentIpActu(adresse));
}

} // namespace corvane
