#pragma once
// Numbers stored as text are read from their leading decimal number, as the settings file and
// the detection answer have always been read: blanks, tabs and line feeds before the number are
// skipped, a sign and a fraction are allowed, and a text that does not start with a number
// reads as 0.

#include <QStringView>

namespace corvane {

double valeurNumerique(QStringView text);

// Rounds to the nearest whole number, halves to the even neighbour (0.5 -> 0, 1.5 -> 2).
long long arrondiBancaire(double value);

// A window coordinate in twips from the settings, rounded as above and held within
// ±kTwipsMax: far past any desktop, yet small enough that no conversion of it can overflow.
inline constexpr int kTwipsMax = 1'000'000;
int coordonneeTwips(QStringView text);

} // namespace corvane
