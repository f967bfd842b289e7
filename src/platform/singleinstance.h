#pragma once
// One running instance per program folder. The lock is an advisory lock held on a file in a
// folder only the user can write to: the runtime folder, else the user's cache folder, else
// the program folder; never a shared folder such as /tmp, where another user could plant a
// link under the lock's name or hold the name to stop every start. The kernel drops the lock
// when its process ends, however it ends, so a crash never leaves a lock that blocks the next
// start.

#include <QString>
#include <QStringList>

namespace corvane {

class SingleInstance {
public:
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process may run: it now holds the folder's lock, or no safe place for
    // a lock was found (warning() then says so). False: another instance holds it.
    bool acquire();
    // The lock file: the first place tried before acquire(), the one used after it.
    QString lockPath() const { return path_; }
    // For standard error: lock places passed over and why ("" when there were none).
    QString warning() const { return notes_.join(u'\n'); }
    // What to tell the user when acquire() refused the start.
    QString refusal() const;

private:
    QString lockIn(const QString& folder);
    QString programFolder_;
    QString name_;
    QString path_;
    QStringList notes_;
    int fd_ = -1;
};

} // namespace corvane
