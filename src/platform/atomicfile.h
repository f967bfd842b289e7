#pragma once
// Every file the program writes goes through here: the new content replaces the old one in a
// single rename, so a crash or a full disk never leaves half a file.

#include "platform/saferead.h" // the reading side, for the callers that do both

#include <QByteArray>
#include <QString>

namespace corvane {

struct WriteResult : Resultat {};

enum class FileAccess { Default, OwnerOnly };

// The old file, if any, is replaced only once every byte of the new one is on disk; on any
// failure (full disk included) it is left exactly as it was and the reason is returned.
WriteResult writeFileAtomically(const QString& path, const QByteArray& data,
                                FileAccess access = FileAccess::Default);

} // namespace corvane
