#pragma once
// "Corvane.cfg": Windows private-profile (INI) files and the settings record's load and save.

#include "config/parametres.h"
#include "platform/atomicfile.h"
#include "platform/textcodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <vector>

namespace corvane {

inline const QString kNomConfig = QStringLiteral("Corvane.cfg");

// One INI file in memory, following the Windows private-profile rules: section and key names
// match without regard to case; a value is trimmed and loses one pair of enclosing double
// quotes; every line the program does not know is kept as it was. Unlike the profile
// functions, a value is never cut: what the owner wrote is what is written back.
class IniFile {
public:
    // Windows-1252 or UTF-8 (see decodeText); CR LF, LF or CR line ends. Bytes that are no
    // 8-bit text give an empty file whose problem() says why.
    static IniFile fromBytes(const QByteArray& bytes);
    // In the encoding the file was read in (Windows-1252 for a new one), CR LF line ends.
    QByteArray toBytes() const;
    QString problem() const { return problem_; }

    QString value(const QString& section, const QString& key) const; // "" when missing
    bool has(const QString& section, const QString& key) const;
    // Replaces the key's line where it stands, adds a missing key at the end of its section
    // and a missing section at the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

private:
    QList<QString> lines_;
    TextEncoding encoding_ = TextEncoding::Windows1252;
    QString problem_;
};

struct ConfigKey {
    const char* section;                  // UTF-8 source text, e.g. "ADRESSE FTP"
    const char* key;                      // UTF-8 source text, e.g. "fichier à transferer"
    QString Parametres::*field = nullptr; // null for the ten addresses
    int adresse = -1;                     // 0..9 for "Adresse N°1".."Adresse N°10"
    // Keys added after the first release: written back only when the file already has them
    // or they hold a value, so that a file without them is rewritten byte for byte as before.
    bool optionnelle = false;
};
// Every key in file order, the optional ones after their section's original keys.
const std::vector<ConfigKey>& clesConfig();
QString& champ(Parametres& p, const ConfigKey& k);

// The executable's folder plus "Corvane.cfg".
QString CheminConfig();
// The value of one key of the file at path; "" when the file, section or key is missing.
QString LireINI(const QString& path, const QString& section, const QString& key);
// Every key; a missing file gives empty fields. A file that is there but cannot be read (not
// a regular file, too large, not 8-bit text) gives empty fields too, and its reason in
// *probleme (left empty otherwise): SauveConfig will refuse to overwrite it.
Parametres ChargeConfig(const QString& path, QString* probleme = nullptr);
// Every key written into the file (optional keys only when present or set), other lines kept,
// in the file's own encoding; atomically and owner-only (0600). A file that cannot be read is
// left as it is and the reason returned.
WriteResult SauveConfig(const Parametres& p, const QString& path);
// The exit's save: over the file as it is on disk now, only the keys whose value differs from
// lu (the record as it was loaded), so that a key the owner edited by hand while the program
// ran keeps his edit; a key missing from the file is added as SauveConfig would. The same
// refusals and the same atomic, owner-only write as SauveConfig.
WriteResult SauveChangements(const Parametres& lu, const Parametres& p, const QString& path);
// Puts the defaults into p (leaving the fields the defaults do not name) and saves.
WriteResult ini_par_defaut(Parametres& p, const QString& path);

} // namespace corvane
