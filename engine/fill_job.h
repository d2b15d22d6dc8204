// The one record that the window thread and the fill worker share, and its lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

enum class FillType : std::int32_t { AllZero = 0, Random = 1, AllOne = 2 };

struct FillJob {
    // Settings: written by startRun under jobLock; the worker reads them without it.
    std::int32_t sizePerFileMiB = 0;
    std::int32_t fileCount = 0;
    FillType fillType = FillType::AllZero;
    // Replaced by the window thread and read by the worker, both under jobLock.
    std::wstring outputDirectory;

    // Progress and stop request: only ever touched under jobLock.
    std::int32_t runStarted = 0;
    std::int32_t currentFile = 0;
    std::int32_t filledMiB = 0;
    std::int32_t stopRequested = 0;

    std::mutex jobLock;
};

// What refreshStatus shows, read in one hold of jobLock.
struct FillProgress {
    bool runStarted = false;
    std::int32_t currentFile = 0;
    std::int32_t filledMiB = 0;
};

// The pattern chosen by a list text: "ALL ZERO", "RANDOM", "ALL ONE", compared
// exactly; false (and fillType untouched) for any other text.
bool fillTypeFromText(const std::wstring& text, FillType& fillType);

// --- operations that take jobLock themselves ---
void requestStop(FillJob& job);
FillProgress readProgress(FillJob& job);
std::wstring readOutputDirectory(FillJob& job);
void replaceOutputDirectory(FillJob& job, const std::wstring& directory);

// --- for startRun, which already holds jobLock ---
// Drops a stop request left over from the previous run, so that it cannot stop
// the run about to start.
void discardStaleStopRequest(FillJob& job);
