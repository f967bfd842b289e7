// PLACEHOLDER until the about window lands.
#include "ui/about.h"

namespace corvane {
About::About(LinkOpener&, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About Brenn"));
}
About::~About() = default;
} // namespace corvane
