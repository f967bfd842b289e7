#pragma once
// Reading the files the program is given. Only regular files are read (a link to one is
// fine): a FIFO or a device in a file's place is refused at once instead of freezing the
// window or reading without end, and no file is read past a size cap.

#include "platform/resultat.h"

#include <QByteArray>
#include <QString>

namespace corvane {

struct ReadResult : Resultat {
    bool missing = false; // the file does not exist
    QByteArray data;
};

// Reads a whole regular file, refusing files larger than maxBytes.
ReadResult readWholeFile(const QString& path, qint64 maxBytes = qint64(256) * 1024 * 1024);

struct TailResult : Resultat {
    bool missing = false;
    QByteArray data; // the last maxBytes of the file at most
    qint64 size = 0; // the whole file's size
};

// Reads the end of a regular file only, however large the file is.
TailResult readFileTail(const QString& path, qint64 maxBytes);

} // namespace corvane
