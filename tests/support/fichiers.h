#pragma once
// Whole files in and out, and a working directory of its own, for the tests.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace corvane::test {

// The file's bytes; a null array when it cannot be read.
inline QByteArray lit(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool ecrit(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// A temporary folder as the working directory; the old one comes back when it goes.
struct DossierDeTravail {
    QTemporaryDir dossier;
    QString ancien = QDir::currentPath();
    bool ok = dossier.isValid() && QDir::setCurrent(dossier.path());
    ~DossierDeTravail() { QDir::setCurrent(ancien); }
    QString chemin(const QString& nom) const { return dossier.filePath(nom); }
};

} // namespace corvane::test
