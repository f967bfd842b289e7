#pragma once
// One running instance per program folder. The lock lives in the user's runtime folder, not in
// the program folder, so a second start reads and writes nothing there; a lock left by a run
// that crashed belongs to a dead process and is taken over.

#include <QString>

#include <memory>

class QLockFile;

namespace corvane {

class SingleInstance {
public:
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance();
    // True when this process now holds the folder's lock.
    bool acquire();
    QString lockPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace corvane
