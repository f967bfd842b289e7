// Corvane: watches the machine's public address and reports its changes.

#include "config/fichierini.h"
#include "detect/detecteip.h"
#include "mail/mailing.h"
#include "platform/qtplatform.h"
#include "platform/singleinstance.h"
#include "publish/publication.h"
#include "ui/console.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.05"));

    // A second start while one runs from the same folder ends at once: said on standard error,
    // and in a box when there is a screen to show it on.
    corvane::SingleInstance instance(QCoreApplication::applicationDirPath());
    const bool seul = instance.acquire();
    if (!instance.warning().isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(instance.warning()));
    }
    if (!seul) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(instance.refusal()));
        const QString ecran = QGuiApplication::platformName();
        if (ecran != QLatin1String("offscreen") && ecran != QLatin1String("minimal")) {
            QMessageBox::information(nullptr, corvane::kTitreApplication, instance.refusal());
        }
        return 0;
    }

    corvane::QtMessageBoxes boxes;
    corvane::QtSoundPlayer sound;
    corvane::QtLinkOpener links;
    corvane::SystemClock clock;
    corvane::DetecteIP detecteur;
    corvane::Mailing mailing(clock);
    corvane::Publication publication;
    corvane::Moteur moteur(corvane::Platform{&boxes, &sound, &links, &clock},
                           corvane::CheminConfig(), detecteur, mailing, publication);
    corvane::Console console(moteur, mailing, publication, links);
    boxes.setOwner(&console);
    console.Form_Load();
    console.show();
    return QApplication::exec();
}
