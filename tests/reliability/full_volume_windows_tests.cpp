// A volume that fills up, for real, under the Windows build: a tmpfs of 8500 KiB
// that the test's fixture mounts and hands over as a folder of drive Z:.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "../engine/engine_test_support.h"

namespace {

using namespace enginetest;

TEST(FullVolumeWindows, ARunAskingForMoreThanFitsEndsNormallyWithWholeBlocksOnly) {
    const char* folderVariable = std::getenv("VELLUMITE_SMALL_VOLUME");
    ASSERT_NE(folderVariable, nullptr);
    const fs::path folder(folderVariable);
    if (!fs::exists(folder / ".small-volume")) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << "no small volume mounted";
        GTEST_SKIP() << "no small volume could be mounted (needs root); not tested";
    }
    FillJob job;
    setJob(job, 3, 5, FillType::AllOne, asOutputDirectory(folder));
    RunEndedRecorder ended;
    runFillWorker(job, ended.signal());
    EXPECT_EQ(ended.calls(), 1);
    const FillProgress progress = readProgress(job);
    EXPECT_EQ(progress.currentFile, 5);
    EXPECT_EQ(progress.filledMiB, 3);
    std::uintmax_t total = 0;
    int fillFiles = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("zero", 0) != 0) continue;
        ++fillFiles;
        const std::vector<unsigned char> bytes = readBytes(entry.path());
        EXPECT_EQ(bytes.size() % mib, 0u) << entry.path() << " holds a part of a block";
        EXPECT_TRUE(allBytesAre(bytes, 0xFF)) << entry.path();
        total += bytes.size();
    }
    EXPECT_EQ(fillFiles, 5);
    EXPECT_GE(total, static_cast<std::uintmax_t>(6 * mib));
    EXPECT_LE(total, 8500u * 1024);
}

}  // namespace
