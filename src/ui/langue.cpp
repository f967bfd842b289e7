#include "ui/langue.h"

#include "config/fichierini.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace corvane {
namespace {

// Owned by the application object, so that they live exactly as long as it does.
QTranslator* catalogue(QPointer<QTranslator>& t)
{
    if (!t) {
        t = new QTranslator(QCoreApplication::instance());
    }
    return t;
}

// Replaces what t held by the catalogue at chemin (nothing when chemin is empty).
void remplace(QPointer<QTranslator>& t, const QString& chemin)
{
    QTranslator* tr = catalogue(t);
    QCoreApplication::removeTranslator(tr);
    // A failed load leaves the translator empty: the source texts show, which beats a mix.
    if (!chemin.isEmpty() && tr->load(chemin)) {
        QCoreApplication::installTranslator(tr);
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
    // French is the source language of the program's texts: it has no catalogue of its own.
    remplace(programme, anglais ? QStringLiteral(":/i18n/corvane_en.qm") : QString());
    remplace(qt, QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                     (anglais ? QStringLiteral("/qtbase_en.qm") : QStringLiteral("/qtbase_fr.qm")));
}

void installeLangue(const QString& cheminConfig)
{
    appliqueLangue(
        langueEffective(LireINI(cheminConfig, QStringLiteral("REGLAGE"), QStringLiteral("Langue")),
                        QLocale::system()));
}

} // namespace corvane
