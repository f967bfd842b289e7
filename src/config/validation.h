#pragma once
// Checks of one settings value as the user types it: what kind of text each key holds, and
// why a text is not of that kind. No widgets, so the settings window's rules run in tests
// without one. An empty value always passes: whether a key may be left empty is the caller's.

#include <QString>
#include <QStringList>

namespace corvane {

enum class GenreValeur {
    Texte,         // anything on one line
    Url,           // http:// or https:// with a host
    HotePort,      // host, host:port, [v6] or [v6]:port; port 1..65535
    AdresseMail,   // local@domain, no space, no line break
    CheminDistant, // a remote file: "/dir/name" or "dir/name", not ending with "/"
    Empreinte,     // "SHA256:" and 43 characters of base64, as ssh-keygen -l prints it
    Ttl,           // seconds, 0..2147483647
    NomHote,       // a DNS name: labels of letters, digits and hyphens
    Base64,        // a TSIG secret
    Fichier,       // an existing regular file (a certificate authorities' PEM)
};

// Empty when valeur is fit for genre, else a short French sentence saying what is wrong.
QString verifieValeur(GenreValeur genre, const QString& valeur);

// An IPv6 address in text ("2001:db8::1", "::ffff:192.0.2.1"), with or without a zone
// ("fe80::1%eth0"); no brackets, no blanks.
bool litteralIPv6(const QString& texte);

// A value that must be one of choix (compared after trimming, without regard to case; the
// empty value means the default and passes).
QString verifieChoix(const QString& valeur, const QStringList& choix);

} // namespace corvane
