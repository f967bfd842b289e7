// PLACEHOLDER until the detection request lands.
#include "detect/detecteip.h"

#include <QTimer>

namespace corvane {
DetecteIP::DetecteIP(QObject* parent) : QObject(parent) {}
DetecteIP::~DetecteIP() = default;
void DetecteIP::setDelai(int ms)
{
    delaiMs_ = ms;
}
void DetecteIP::setTailleMax(qint64 b)
{
    tailleMax_ = b;
}
void DetecteIP::demarre(const QString&)
{
    QTimer::singleShot(0, this, [this] { fin({false, {}, QStringLiteral("not built yet")}); });
}
bool DetecteIP::enCours() const
{
    return false;
}
void DetecteIP::fin(ResultatDetection r)
{
    emit termine(r);
}
} // namespace corvane
