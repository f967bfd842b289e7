#pragma once
// What the worker windows (mail, page publishing) need from the main window: its report
// channel and its live switches. The main window implements it; tests pass a recording fake.

#include <QString>

namespace corvane {

struct Parametres;

class ConsoleLink {
public:
    virtual ~ConsoleLink() = default;
    // Sets the main window's libelle and at once makes one stamped log entry (affiche).
    virtual void journal(const QString& libelle) = 0;
    // Appends text to the end of the log without an entry (the upload's progress dots).
    virtual void ajouteTexte(const QString& text) = 0;
    // The answer of the last good detection (IpActuelle).
    virtual QString ipActuelle() const = 0;
    virtual bool mailOn() const = 0;   // check box "Mail auto" (CheckMail) ticked
    virtual bool uploadOn() const = 0; // check box "Upload fichier" (CheckUpload) ticked
    virtual bool audioOn() const = 0;  // menu "Audio IP change" (menuAudio) checked
    virtual bool debugOn() const = 0;  // menu "Mode Debug" (menuDebug) checked
    virtual Parametres& parametres() = 0;
};

} // namespace corvane
