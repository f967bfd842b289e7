#include "publish/assemblage.h"

#include "platform/atomicfile.h"

#include <QFileInfo>

namespace corvane {
namespace {

QString nomCourt(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString pourquoiIllisible(const QString& path, const ReadResult& r)
{
    if (r.missing) {
        return QStringLiteral("Page non publiée : %1 absent").arg(nomCourt(path));
    }
    return QStringLiteral("Page non publiée : %1 illisible (%2)").arg(nomCourt(path), r.raison);
}

} // namespace

Assemblage assemblePage(const QString& gabarit, const QString& fragment, const QString& page)
{
    Assemblage a;
    // Pages are a few kilobytes; a huge "template" is a wrong file, not a page. Only regular
    // files are read: a FIFO or a device in their place is refused at once.
    constexpr qint64 kTailleMax = qint64(1024) * 1024;
    const ReadResult g = readWholeFile(gabarit, kTailleMax);
    if (!g.ok) {
        a.erreur = pourquoiIllisible(gabarit, g);
        return a;
    }
    a.gabarit = g.data;
    const ReadResult f = readWholeFile(fragment, kTailleMax);
    if (!f.ok) {
        a.erreur = pourquoiIllisible(fragment, f);
        return a;
    }
    a.fragment = f.data;
    a.page = a.gabarit + a.fragment;
    const WriteResult w = writeFileAtomically(page, a.page);
    if (!w.ok) {
        a.erreur =
            QStringLiteral("Page non publiée : %1 non écrit (%2)").arg(nomCourt(page), w.raison);
        return a;
    }
    a.ok = true;
    return a;
}

} // namespace corvane
