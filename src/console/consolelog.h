#pragma once
// The console log's text: one text that only grows, made of stamped entries, exactly as it is
// written to "corvane.log" (Windows-1252, CR LF).

#include <QDateTime>
#include <QString>

namespace corvane {

inline const QString kNomLog = QStringLiteral("corvane.log");

// "dd/MM/yyyy HH:mm:ss", the same on every machine whatever its locale.
QString formatDateHeure(const QDateTime& when);

class ConsoleLog {
public:
    // One entry: LF, libelle, CR LF, date, blank, time, CR LF, "IP = ", ip, CR LF.
    static QString entree(const QString& libelle, const QDateTime& when, const QString& ip);

    void setTexte(const QString& texte) { texte_ = texte; }
    const QString& texte() const { return texte_; }
    // Appends one entry and returns it.
    QString ajouteEntree(const QString& libelle, const QDateTime& when, const QString& ip);
    void ajouteTexte(const QString& texte) { texte_ += texte; }

private:
    QString texte_;
};

// The log's colour schemes 1 to 4, stepped through by clicks: 1, 2, 3, 4, 1, ...
// Any other number leaves the log's colours as they are; the next click gives 1.
inline quint8 schemaSuivant(quint8 couleur)
{
    return couleur < 4 ? static_cast<quint8>(couleur + 1) : quint8(1);
}

} // namespace corvane
