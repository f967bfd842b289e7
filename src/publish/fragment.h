#pragma once
// The PHP fragment "ip_actu": three lines that print an img element pointing at the graph
// server on port 81 of the new public address. The address comes from a web answer, so it is
// escaped before it enters the PHP string and the HTML attribute.

#include "platform/atomicfile.h"

#include <QByteArray>
#include <QString>

namespace corvane {

inline const QString kFichierIpActu = QStringLiteral("ip_actu");

// The address as it goes into the fragment: ASCII letters, digits, ".", ":" and "-" stay as
// they are (every IPv4 or IPv6 address is unchanged); every other byte of its Windows-1252
// form becomes "%" and two upper-case hex digits, so nothing can end the PHP string, start a
// PHP variable or leave the src attribute.
QByteArray echappeAdresse(const QString& adresse);

// The whole content of "ip_actu" for that address, CR LF line ends included. An IPv6 address
// goes between brackets, so that the image's URL stays valid.
QByteArray fragmentIpActu(const QString& adresse);

// Writes the fragment to path in one step.
WriteResult ecritFragment(const QString& path, const QString& adresse);

} // namespace corvane
