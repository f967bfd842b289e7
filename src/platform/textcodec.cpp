#include "platform/textcodec.h"

#include <array>

namespace corvane {
namespace {

// 0x80..0x9F; the unassigned bytes keep their C1 control code point, as Windows does.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeOne(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

// Strict UTF-8 (RFC 3629): no overlong form, no surrogate, nothing past U+10FFFF.
// `multiByte` tells whether any character took more than one byte.
bool isUtf8(QByteArrayView bytes, bool& multiByte)
{
    multiByte = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned char low = 0x80; // the second byte's range, narrowed to refuse what RFC 3629 does
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + more >= n) {
            return false;
        }
        if (p[i + 1] < low || p[i + 1] > high) {
            return false;
        }
        for (int k = 2; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        multiByte = true;
        i += 1 + more;
    }
    return true;
}

} // namespace

QString fromAnsi(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        d[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray toAnsi(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // one character outside the code page gives one "?"
        }
        out.append(encodeOne(c));
    }
    return out;
}

DecodedText decodeText(QByteArrayView bytes)
{
    DecodedText d;
    const auto startsWith = [&](const char* bom, qsizetype size) {
        return bytes.size() >= size && bytes.first(size) == QByteArrayView(bom, size);
    };
    // Longest first: the UTF-32 little-endian mark begins with the UTF-16 one.
    if (startsWith("\xFF\xFE\x00\x00", 4) || startsWith("\x00\x00\xFE\xFF", 4)) {
        d.problem = QStringLiteral("fichier en UTF-32, que le programme ne lit pas");
        return d;
    }
    if (startsWith("\xFF\xFE", 2) || startsWith("\xFE\xFF", 2)) {
        d.problem = QStringLiteral("fichier en UTF-16, que le programme ne lit pas");
        return d;
    }
    if (bytes.contains('\0')) {
        d.problem = QStringLiteral("fichier contenant des octets nuls (UTF-16 sans marque ?), que "
                                   "le programme ne lit pas");
        return d;
    }
    bool multiByte = false;
    if (startsWith("\xEF\xBB\xBF", 3)) {
        const QByteArrayView rest = bytes.sliced(3);
        if (!isUtf8(rest, multiByte)) {
            // Read either way, its first line or its letters would come out wrong.
            d.problem = QStringLiteral("fichier marqué UTF-8 dont le texte n'est pas de l'UTF-8");
            return d;
        }
        d.encoding = TextEncoding::Utf8WithBom;
        d.text = QString::fromUtf8(rest);
        return d;
    }
    if (isUtf8(bytes, multiByte) && multiByte) {
        d.encoding = TextEncoding::Utf8;
        d.text = QString::fromUtf8(bytes);
        return d;
    }
    d.text = fromAnsi(bytes);
    return d;
}

QByteArray encodeText(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8WithBom:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case TextEncoding::Windows1252:
        break;
    }
    return toAnsi(text);
}

} // namespace corvane
