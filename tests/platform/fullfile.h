#pragma once
// A full disk on demand: while a FileSizeLimit lives, every write of this process past `bytes`
// fails in the kernel (EFBIG), so the real writes under test, buffered or not, meet it.

#include <csignal>
#include <sys/resource.h>

namespace corvane::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*signal_)(int) = SIG_DFL;
};

} // namespace corvane::test
