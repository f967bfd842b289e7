// PLACEHOLDER until the help window lands.
#include "ui/aide.h"

namespace corvane {
Aide::Aide(Parametres&, LinkOpener&, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Aide"));
    setWindowTitle(QStringLiteral("Aide Corvane"));
}
Aide::~Aide() = default;
} // namespace corvane
