#pragma once
// The page "date.php": the owner's template "date1.php" followed by the fragment "ip_actu".
// Both are taken as bytes and joined as they are: the template is never interpreted (a
// template that looks like RTF or HTML stays what it is) and its line ends are kept.

#include <QByteArray>
#include <QString>

namespace corvane {

inline const QString kFichierGabarit = QStringLiteral("date1.php");
inline const QString kFichierPage = QStringLiteral("date.php");

struct Assemblage {
    bool ok = false;
    QString erreur;      // for the console when !ok: which file and why, in French
    QByteArray gabarit;  // what was read from the template
    QByteArray fragment; // what was read from the fragment
    QByteArray page;     // what was written (or would have been) to the page
};

// Reads gabarit and fragment, writes their concatenation to page in one step. A missing or
// unreadable input leaves the page file as it was.
Assemblage assemblePage(const QString& gabarit = kFichierGabarit,
                        const QString& fragment = QStringLiteral("ip_actu"),
                        const QString& page = kFichierPage);

} // namespace corvane
