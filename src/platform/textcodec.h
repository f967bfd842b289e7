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

} // namespace corvane
