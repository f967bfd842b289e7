#include "config/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane {

double valeurNumerique(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text[k].unicode() : char16_t(0); };
    while (i < n && (at(i) == u' ' || at(i) == u'\t' || at(i) == u'\n' || at(i) == u'\r')) {
        ++i;
    }
    bool negative = false;
    if (at(i) == u'-' || at(i) == u'+') {
        negative = at(i) == u'-';
        ++i;
    }
    double value = 0;
    bool digits = false;
    while (at(i) >= u'0' && at(i) <= u'9') {
        value = value * 10 + (at(i) - u'0');
        digits = true;
        ++i;
    }
    if (at(i) == u'.') {
        ++i;
        double scale = 0.1;
        while (at(i) >= u'0' && at(i) <= u'9') {
            value += (at(i) - u'0') * scale;
            scale /= 10;
            digits = true;
            ++i;
        }
    }
    if (!digits || !std::isfinite(value)) {
        return 0;
    }
    return negative ? -value : value;
}

long long arrondiBancaire(double value)
{
    constexpr double kLimit = 9.0e18;
    if (!(value > -kLimit && value < kLimit)) {
        return value < 0 ? std::numeric_limits<long long>::min() / 2
                         : std::numeric_limits<long long>::max() / 2;
    }
    return static_cast<long long>(std::nearbyint(value)); // default mode: to nearest, ties even
}

int coordonneeTwips(QStringView text)
{
    return static_cast<int>(
        std::clamp<long long>(arrondiBancaire(valeurNumerique(text)), -kTwipsMax, kTwipsMax));
}

} // namespace corvane
