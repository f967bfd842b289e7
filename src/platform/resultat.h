#pragma once
// The outcome of anything that can fail: whether it worked and, when it did not, why, in a
// short French sentence fit for the console, a box or a debug window (never a password).
// Operations that also produce something carry it beside, in a struct that derives from this.

#include <QString>

namespace corvane {

struct Resultat {
    bool ok = false;
    QString raison; // empty when ok

    static Resultat succes() { return {true, {}}; }
    static Resultat echec(QString raison) { return {false, std::move(raison)}; }
    explicit operator bool() const { return ok; }
};

} // namespace corvane
