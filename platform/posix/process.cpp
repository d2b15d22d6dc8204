// The end of the process on POSIX.
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void endProcess(int exitCode) {
    // _Exit runs no destructors, so a worker still running keeps everything it uses.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace platform
