// The end of the process on Windows.
#include "platform/process.h"

#include <windows.h>

namespace platform {

void endProcess(int exitCode) {
    ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace platform
