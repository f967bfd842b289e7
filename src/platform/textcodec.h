#pragma once
// The program's files and mail words are Windows-1252 bytes. Every byte maps to one character
// and back, the five bytes the code page leaves unassigned included, so a file read and
// written again is identical byte for byte.

#include <QByteArray>
#include <QString>

namespace corvane {

QString fromAnsi(QByteArrayView bytes);
// Characters outside Windows-1252 become "?".
QByteArray toAnsi(QStringView text);

// A text file its owner may have saved from another editor: Windows-1252 as the program writes
// it, or UTF-8 (a Linux editor's default), with or without the byte order mark.
enum class TextEncoding { Windows1252, Utf8, Utf8WithBom };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Windows1252;
    QString problem; // non-empty: bytes that are no 8-bit text (UTF-16, UTF-32); text is empty
};

// UTF-8 when the bytes start with its byte order mark, or are valid UTF-8 holding at least one
// multi-byte sequence (pure ASCII reads the same either way); Windows-1252 otherwise.
DecodedText decodeText(QByteArrayView bytes);
// The text in that encoding, byte order mark included.
QByteArray encodeText(QStringView text, TextEncoding encoding);

} // namespace corvane
