// The end of the process.
#pragma once

namespace platform {

// Ends the process and every thread in it at once, with the exit code. Nothing
// that a still running thread may use is released before (Windows: ExitProcess).
[[noreturn]] void endProcess(int exitCode);

}  // namespace platform
