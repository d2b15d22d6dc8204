#include "engine/fill_worker.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/parse_number.h"
#include "engine/random_bytes.h"
#include "engine/timestamp.h"
#include "platform/files.h"

namespace {

// Aligned to a page, so that the platform can hand the block to the device directly.
constexpr std::align_val_t blockAlignment{4096};

struct AlignedRelease {
    void operator()(unsigned char* bytes) const { ::operator delete(bytes, blockAlignment); }
};
using BlockBuffer = std::unique_ptr<unsigned char, AlignedRelease>;

BlockBuffer obtainBlockBuffer() {
    BlockBuffer buffer(static_cast<unsigned char*>(
        ::operator new(fillBlockSize, blockAlignment, std::nothrow)));
    if (buffer) std::memset(buffer.get(), 0, fillBlockSize);
    return buffer;
}

std::wstring fillFileName(FillJob& job, std::int64_t index) {
    return readOutputDirectory(job) + L"zero" + decimalText(index) + L"." +
           decimalText(localTimestamp());
}

// Block report: true when a stop request ends the run here (and is consumed).
bool reportBlock(FillJob& job, std::int64_t index, std::int64_t block) {
    const std::lock_guard hold(job.jobLock);
    if (job.stopRequested != 0) {
        job.stopRequested = 0;
        return true;
    }
    job.filledMiB = static_cast<std::int32_t>(block);
    job.currentFile = static_cast<std::int32_t>(index + 1);
    return false;
}

// Writes the files of the run; answers whether a stop request ended it.
bool writeFillFiles(FillJob& job, std::int64_t sizePerFileMiB, unsigned char* block,
                    platform::FillFile& file) {
    for (std::int64_t index = 0; index < job.fileCount; ++index) {
        if (job.fillType == FillType::AllZero) {
            std::memset(block, 0x00, fillBlockSize);
        } else if (job.fillType == FillType::AllOne) {
            std::memset(block, 0xFF, fillBlockSize);
        }
        // A file that cannot be created leaves nothing open: its blocks are still
        // prepared and counted, but written nowhere.
        file.createOrEmpty(fillFileName(job, index));
        for (std::int64_t blockNumber = 1; blockNumber <= sizePerFileMiB; ++blockNumber) {
            if (job.fillType == FillType::Random) fillRandomBytes(block, fillBlockSize);
            if (file.isOpen()) file.write(block, fillBlockSize);
            if (reportBlock(job, index, blockNumber)) return true;
        }
    }
    return false;
}

}  // namespace

void runFillWorker(FillJob& job, const RunEndedSignal& signalRunEnded) {
    platform::FillFile file;
    const BlockBuffer block = obtainBlockBuffer();
    bool stopped = false;
    if (block) {
        const std::int64_t sizePerFileMiB = job.sizePerFileMiB;  // one copy for the whole run
        {
            const std::lock_guard hold(job.jobLock);
            job.runStarted = 1;
        }
        stopped = writeFillFiles(job, sizePerFileMiB, block.get(), file);
    }
    if (!stopped) {
        // A request that came after the last block report is dropped here.
        const std::lock_guard hold(job.jobLock);
        job.stopRequested = 0;
    }
    file.close();
    if (signalRunEnded) signalRunEnded();
}

bool startFillWorker(FillJob& job, RunEndedSignal signalRunEnded) {
    try {
        std::thread worker(
            [&job, signal = std::move(signalRunEnded)] { runFillWorker(job, signal); });
        worker.detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
