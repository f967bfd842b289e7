#pragma once
// Every file the program writes goes through here: the new content replaces the old one in a
// single rename, so a crash or a full disk never leaves half a file.

#include <QByteArray>
#include <QString>

namespace corvane {

struct WriteResult {
    bool ok = false;
    QString error; // the reason, for the user, when !ok
};

enum class FileAccess { Default, OwnerOnly };

WriteResult writeFileAtomically(const QString& path, const QByteArray& data,
                                FileAccess access = FileAccess::Default);

struct ReadResult {
    bool ok = false;
    bool missing = false; // the file does not exist
    QByteArray data;
    QString error;
};

// Reads a whole file, refusing files larger than maxBytes.
ReadResult readWholeFile(const QString& path, qint64 maxBytes = qint64(256) * 1024 * 1024);

} // namespace corvane
