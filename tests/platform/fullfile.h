#pragma once
// A full disk on demand, for tests: while a FileSizeLimit lives, every write of this process
// past `bytes` into a file fails in the kernel (EFBIG), as writes fail on a full disk. Nothing
// in the code under test is hooked: its real writes, buffered or not, meet the failure.

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
