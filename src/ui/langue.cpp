#include "ui/langue.h"

#include "config/fichierini.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <mutex>
#include <utility>

namespace corvane {
namespace {

// Qt's own catalogue (its standard buttons, context menus and dialogs) is read with the first
// of its texts that a window asks for: most launches show none, and the file is 160 KiB that
// would stay mapped. The program's own texts never make it load.
class CatalogueQt final : public QTranslator {
public:
    CatalogueQt(QString chemin, QObject* parent) : QTranslator(parent), chemin_(std::move(chemin))
    {}

    QString translate(const char* contexte, const char* source, const char* desambiguisation,
                      int n) const override
    {
        // Qt asks for its layout direction at each catalogue change: both languages are
        // left to right, which is also its answer when no catalogue has one.
        if (!contexte || qstrncmp(contexte, "corvane::", 9) == 0 ||
            qstrcmp(contexte, "Validation") == 0 ||
            (qstrcmp(contexte, "QGuiApplication") == 0 &&
             qstrcmp(source, "QT_LAYOUT_DIRECTION") == 0)) {
            return {};
        }
        // Texts may be asked for from more than one thread.
        std::call_once(charge_, [this] {
            // A failed load leaves it empty: Qt's English texts show.
            if (!reel_.load(chemin_)) {
                qWarning("Qt catalogue %s not loaded", qUtf8Printable(chemin_));
            }
        });
        return reel_.translate(contexte, source, desambiguisation, n);
    }
    bool isEmpty() const override { return false; }

private:
    QString chemin_;
    mutable std::once_flag charge_;
    mutable QTranslator reel_;
};

// Replaces what t held by nouveau, which is installed (none when null).
void remplace(QPointer<QTranslator>& t, QTranslator* nouveau)
{
    if (t) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    t = nouveau;
    if (t) {
        QCoreApplication::installTranslator(t);
    }
}

} // namespace

QString langueEffective(const QString& choix, const QLocale& systeme)
{
    if (choix == kLangueFrancais || choix == kLangueAnglais) {
        return choix;
    }
    const QLocale::Language l = systeme.language();
    return l == QLocale::French || l == QLocale::C ? kLangueFrancais : kLangueAnglais;
}

void appliqueLangue(const QString& langue)
{
    static QPointer<QTranslator> programme;
    static QPointer<QTranslator> qt;
    const bool anglais = langue == kLangueAnglais;
    QObject* app = QCoreApplication::instance();
    // French is the source language of the program's texts: it has no catalogue of its own. A
    // failed load leaves none: the source texts show, which beats a mix.
    auto* catalogue = anglais ? new QTranslator(app) : nullptr;
    if (catalogue && !catalogue->load(QStringLiteral(":/i18n/corvane_en.qm"))) {
        delete std::exchange(catalogue, nullptr);
    }
    remplace(programme, catalogue);
    const QString cheminQt =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
        (anglais ? QStringLiteral("/qtbase_en.qm") : QStringLiteral("/qtbase_fr.qm"));
    remplace(qt, QFileInfo::exists(cheminQt) ? new CatalogueQt(cheminQt, app) : nullptr);
}

void installeLangue(const QString& cheminConfig)
{
    appliqueLangue(
        langueEffective(LireINI(cheminConfig, QStringLiteral("REGLAGE"), QStringLiteral("Langue")),
                        QLocale::system()));
}

} // namespace corvane
