// A disk that is full beyond a size, for tests of failed writes: files cannot grow past `bytes` while
// this lives (RLIMIT_FSIZE binds every user, root included; the signal it raises is ignored so the
// write fails with EFBIG instead).
#pragma once

#include <csignal>
#include <sys/resource.h>
#include "TestSystemCalls.h"

namespace vorlane {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace vorlane
