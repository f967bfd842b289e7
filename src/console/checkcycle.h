#pragma once
// When the public address is fetched: the seconds counter, the three intervals and the rule
// that a check coming due while another one (or its change actions) is under way waits for it.

#include <QtGlobal>

#include <array>

namespace corvane {

class CheckCycle {
public:
    // Interval of Option1(0), (1), (2) in ticks of one second: "2'", "10'", "1h".
    static constexpr std::array<int, 3> kIntervalles{120, 600, 3600};

    enum class Tick { Rien, Verifier, Differe };

    // `secondes` of running time with the interval button `choix` selected: one at each
    // blink of a window's indicator; without one, the timer sleeps restantes() at a time.
    Tick tick(int choix, int secondes = 1)
    {
        compteur_ += secondes;
        if (choix < 0 || choix > 2 || compteur_ < kIntervalles[static_cast<std::size_t>(choix)]) {
            return Tick::Rien;
        }
        compteur_ = 0;
        if (occupe_) {
            attente_ = true; // at most one waits
            return Tick::Differe;
        }
        return Tick::Verifier;
    }

    // Seconds until the check of `choix` comes due, at least one.
    int restantes(int choix) const
    {
        if (choix < 0 || choix > 2) {
            return kIntervalles.back(); // never due: a sleep as long as the longest interval
        }
        return qMax(1, kIntervalles[static_cast<std::size_t>(choix)] - compteur_);
    }

    qint32 compteur() const { return compteur_; }
    bool occupe() const { return occupe_; }
    void setOccupe(bool occupe) { occupe_ = occupe; }
    // A check asked for while busy: remember it (at most one).
    void differe() { attente_ = true; }
    bool enAttente() const { return attente_; }
    // Takes the waiting check, if any.
    bool prendAttente()
    {
        const bool a = attente_;
        attente_ = false;
        return a;
    }

private:
    qint32 compteur_ = 0;
    bool occupe_ = false;
    bool attente_ = false;
};

} // namespace corvane
