#include "platform/autostart.h"

#include "platform/atomicfile.h"
#include "platform/xdg.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace corvane {
namespace {

bool controle(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// A value of type string: a backslash is the escape character.
QString valeurTexte(QString s)
{
    return s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
}

// One Exec argument, always quoted: inside quotes, ", `, $ and \ take a backslash, and % is
// doubled because it starts a field code. The string escaping applies on top (so a backslash
// in the path ends up as four).
QString argumentExec(const QString& arg)
{
    QString q = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            q += QLatin1Char('\\');
        } else if (c == QLatin1Char('%')) {
            q += QLatin1Char('%');
        }
        q += c;
    }
    q += QLatin1Char('"');
    return valeurTexte(q);
}

QByteArray entree(const QFileInfo& programme)
{
    const QString exe = programme.absoluteFilePath();
    QString t = QStringLiteral("[Desktop Entry]\n"
                               "Type=Application\n"
                               "Version=1.4\n"
                               "Name=Corvane\n"
                               "Comment=Watches the public IP address and reports each change\n"
                               "Comment[fr]=Surveille l'adresse IP publique et signale chaque "
                               "changement\n");
    t += QStringLiteral("Exec=") + argumentExec(exe) + QLatin1Char('\n');
    t += QStringLiteral("TryExec=") + valeurTexte(exe) + QLatin1Char('\n');
    // The launcher starts it in its folder, where a user install keeps its log and pages.
    t += QStringLiteral("Path=") + valeurTexte(programme.absolutePath()) + QLatin1Char('\n');
    t += QStringLiteral("Icon=corvane\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n");
    return t.toUtf8();
}

// The value of a key of the [Desktop Entry] group, spaces around '=' ignored; "" when absent.
QString cle(const QByteArray& contenu, const QString& nom)
{
    bool groupe = false;
    for (const QByteArray& brute : contenu.split('\n')) {
        const QString ligne = QString::fromUtf8(brute).trimmed();
        if (ligne.startsWith(QLatin1Char('['))) {
            groupe = ligne == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype egal = ligne.indexOf(QLatin1Char('='));
        if (groupe && egal > 0 && ligne.left(egal).trimmed() == nom) {
            return ligne.mid(egal + 1).trimmed();
        }
    }
    return {};
}

} // namespace

QString cheminAutostart()
{
    const QString base = xdgConfigHome();
    return base.isEmpty() ? QString() : base + QStringLiteral("/autostart/corvane.desktop");
}

Resultat activeAutostart(bool on, const QString& executable)
{
    const QString chemin = cheminAutostart();
    if (chemin.isEmpty()) {
        return Resultat::echec(QStringLiteral("démarrage automatique : aucun dossier personnel "
                                              "connu (HOME absent)"));
    }
    const QFileInfo present(chemin);
    if (present.exists() && !present.isFile()) {
        return Resultat::echec(
            QStringLiteral("démarrage automatique : %1 n'est pas un fichier").arg(chemin));
    }
    if (!on) {
        if (present.exists() && !QFile::remove(chemin)) {
            return Resultat::echec(QStringLiteral("démarrage automatique : %1 impossible à "
                                                  "supprimer")
                                       .arg(chemin));
        }
        return Resultat::succes();
    }
    if (std::any_of(executable.begin(), executable.end(), controle)) {
        return Resultat::echec(QStringLiteral("démarrage automatique : le chemin du programme "
                                              "contient un caractère de contrôle"));
    }
    const QFileInfo programme(executable);
    if (executable.isEmpty() || !programme.isAbsolute() || !programme.isFile() ||
        !programme.isExecutable()) {
        return Resultat::echec(QStringLiteral("démarrage automatique : « %1 » n'est pas un "
                                              "programme (chemin absolu attendu)")
                                   .arg(executable));
    }
    if (const Resultat dossier = makePrivateFolder(present.absolutePath()); !dossier) {
        return Resultat::echec(QStringLiteral("démarrage automatique : ") + dossier.raison);
    }
    const WriteResult ecrit = writeFileAtomically(chemin, entree(programme));
    if (!ecrit) {
        return Resultat::echec(
            QStringLiteral("démarrage automatique : %1 : %2").arg(chemin, ecrit.raison));
    }
    return Resultat::succes();
}

bool autostartActif()
{
    const QString chemin = cheminAutostart();
    if (chemin.isEmpty()) {
        return false;
    }
    const ReadResult lu = readWholeFile(chemin, 64 * 1024);
    const QByteArray& contenu = lu.data;
    return lu.ok && cle(contenu, QStringLiteral("Hidden")) != QLatin1String("true") &&
           cle(contenu, QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

} // namespace corvane
