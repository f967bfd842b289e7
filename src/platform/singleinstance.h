#pragma once
// One running instance per program folder. The lock is an advisory lock held on a file in the
// user's runtime folder (not in the program folder, so a second start reads and writes nothing
// there). The kernel drops it when its process ends, however it ends, so a crash never leaves
// a lock that blocks the next start.

#include <QString>

namespace corvane {

class SingleInstance {
public:
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the folder's lock.
    bool acquire();
    QString lockPath() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};

} // namespace corvane
