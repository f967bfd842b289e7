// Corvane: watches the machine's public address and reports its changes.

#include "config/fichierini.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "ui/console.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.05"));

    // A second start while one runs from the same folder ends at once, silently.
    corvane::SingleInstance instance(QCoreApplication::applicationDirPath());
    if (!instance.acquire()) {
        return 0;
    }

    corvane::QtMessageBoxes boxes;
    corvane::QtSoundPlayer sound;
    corvane::QtLinkOpener links;
    corvane::SystemClock clock;
    corvane::Console console(corvane::Platform{&boxes, &sound, &links, &clock},
                             corvane::CheminConfig());
    boxes.setOwner(&console);
    console.Form_Load();
    console.show();
    return QApplication::exec();
}
