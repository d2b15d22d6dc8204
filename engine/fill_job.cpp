#include "engine/fill_job.h"

bool fillTypeFromText(const std::wstring& text, FillType& fillType) {
    if (text == L"ALL ZERO") {
        fillType = FillType::AllZero;
    } else if (text == L"RANDOM") {
        fillType = FillType::Random;
    } else if (text == L"ALL ONE") {
        fillType = FillType::AllOne;
    } else {
        return false;
    }
    return true;
}

void requestStop(FillJob& job) {
    const std::lock_guard hold(job.jobLock);
    job.stopRequested = 1;
}

FillProgress readProgress(FillJob& job) {
    const std::lock_guard hold(job.jobLock);
    return FillProgress{job.runStarted != 0, job.currentFile, job.filledMiB};
}

std::wstring readOutputDirectory(FillJob& job) {
    const std::lock_guard hold(job.jobLock);
    return job.outputDirectory;
}

void replaceOutputDirectory(FillJob& job, const std::wstring& directory) {
    const std::lock_guard hold(job.jobLock);
    job.outputDirectory = directory;
}

void discardStaleStopRequest(FillJob& job) {
    job.stopRequested = 0;
}
