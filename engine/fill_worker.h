// The fill worker: writes the fill files of one run, one 1 MiB block at a time.
#pragma once

#include <cstddef>
#include <functional>

#include "engine/fill_job.h"

inline constexpr std::size_t fillBlockSize = 1048576;

// Called as the worker's very last act, with no lock held: sets the start button
// back to "GO" (carried out on the window thread).
using RunEndedSignal = std::function<void()>;

// The run itself, on the calling thread: reads the settings of `job`, writes the
// files, reports after every block, and ends with signalRunEnded().
void runFillWorker(FillJob& job, const RunEndedSignal& signalRunEnded);

// Starts runFillWorker on a new, detached thread; nothing waits for it.
// Answers whether the thread was started.
bool startFillWorker(FillJob& job, RunEndedSignal signalRunEnded);
