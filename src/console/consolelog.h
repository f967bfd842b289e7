#pragma once
// The console log: the text the window shows, made of stamped entries, and the file
// "corvane.log" (Windows-1252, CR LF) that keeps it. The file only ever grows by appending what
// the window was given since the last write, so its bytes are exactly those of the whole log
// written out at each entry, without rewriting a log that may have grown large.

#include "platform/atomicfile.h"

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

    // The text found at start-up, already in the file.
    void setTexte(const QString& texte)
    {
        texte_ = texte;
        enAttente_.clear();
    }
    // Everything the window shows.
    const QString& texte() const { return texte_; }
    // Appends one entry and returns it.
    QString ajouteEntree(const QString& libelle, const QDateTime& when, const QString& ip);
    void ajouteTexte(const QString& texte)
    {
        texte_ += texte;
        enAttente_ += texte;
    }
    // A remark for the window only, never written to the file.
    void ajouteNote(const QString& note) { texte_ += note; }

    // What the file has not received yet, and the mark that it has.
    const QString& enAttente() const { return enAttente_; }
    void marqueEcrit() { enAttente_.clear(); }

private:
    QString texte_;
    QString enAttente_;
};

// "corvane.log" on disk.
class FichierJournal {
public:
    // Past this size at start-up the file becomes "corvane.log.1" (one old file kept) and a new
    // one begins.
    static constexpr qint64 kSeuilRotation = qint64(1024) * 1024;
    // What the window shows of an old log at most.
    static constexpr qint64 kPartieAffichee = qint64(64) * 1024;

    explicit FichierJournal(QString chemin = kNomLog) : chemin_(std::move(chemin)) {}

    struct Ouverture {
        QString texte; // for the window: the old log's end, after a line saying what is not shown
        QString note;  // for the window only: what was done with an old file that was in the way
    };
    // Start-up. Reads only the end of the old log; moves a large one aside; and keeps under
    // another name a "corvane.log" that cannot be read or is no regular file, so that the new
    // log never overwrites it.
    Ouverture ouvre();

    // Adds bytes at the end of the file (created when missing). On failure, the file is cut
    // back to what it was and the reason returned.
    WriteResult ajoute(const QByteArray& octets);

private:
    QString chemin_;
    QString bloque_; // why nothing may be written (an old file that could not be kept aside)
};

// The log's colour schemes 1 to 4, stepped through by clicks: 1, 2, 3, 4, 1, ...
// Any other number leaves the log's colours as they are; the next click gives 1.
inline quint8 schemaSuivant(quint8 couleur)
{
    return couleur < 4 ? static_cast<quint8>(couleur + 1) : quint8(1);
}

} // namespace corvane
