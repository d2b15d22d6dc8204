// The whole program (controller on the main thread, Qt offscreen) under bad
// conditions: a volume that fills up, folders that cannot be created, and hundreds
// of runs started and stopped at random moments while the folder is replaced.
#include <cstdio>
#include <memory>
#include <random>

#include "tests/support/qt_program_driver.h"

namespace driver {
namespace {

constexpr std::size_t mib = 1048576;

// Whole blocks of the pattern only, nothing else.
::testing::AssertionResult holdsWholeBlocksOf(const fs::path& file, char pattern) {
    const std::string bytes = readFile(file);
    if (bytes.size() % mib != 0) {
        return ::testing::AssertionFailure() << file << " holds " << bytes.size()
                                             << " bytes, not whole blocks";
    }
    if (bytes.find_first_not_of(pattern) != std::string::npos) {
        return ::testing::AssertionFailure() << file << " holds other bytes than the pattern";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ProgramSession, AFullVolumeEndsTheRunNormallyAndTheProgramStaysResponsive) {
    // Room for 8 MiB and a part of a block: the block that does not fit is cut.
    REQUIRE_SMALL_FILE_SYSTEM(mounts_->mountAt(defaultFolder(), "size=8500k"));
    const int exitCode = runProgram([&] {
        // 5 files of 3 MiB ask for 15 MiB where 8.3 fit: the run goes on to its end.
        typeInto(ids::sizeField, "3");
        typeInto(ids::countField, "5");
        choosePattern("ALL ONE");
        pressStartButton();
        ASSERT_TRUE(waitForButton("GO"));
        EXPECT_TRUE(waitUntil([] { return textOf(ids::statusLine) == "Current file: 5 :: Filled: 3MB"; }));
        const std::vector<fs::path> files = fillFiles(defaultFolder());
        ASSERT_EQ(files.size(), 5u);
        std::uintmax_t total = 0;
        for (const fs::path& file : files) {
            EXPECT_TRUE(holdsWholeBlocksOf(file, '\xFF'));
            total += fs::file_size(file);
        }
        EXPECT_EQ(fs::file_size(files[0]), 3 * mib);  // the first files fitted whole
        EXPECT_GE(total, 6 * mib);
        EXPECT_LE(total, 8500u * 1024);

        // A long run on the full volume: the status line keeps moving, STOP stops it.
        typeInto(ids::sizeField, "2");
        typeInto(ids::countField, "100000");
        choosePattern("ALL ZERO");
        pressStartButton();
        EXPECT_TRUE(waitForButton("STOP"));
        const QString earlier = textOf(ids::statusLine);
        EXPECT_TRUE(waitUntil([&] {
            const QString now = textOf(ids::statusLine);
            return now != earlier && now.startsWith("Current file: ");
        })) << earlier.toStdString();
        EXPECT_TRUE(pressStopIfRunning());
        EXPECT_TRUE(waitForButton("GO"));

        // And a new run starts and ends as usual.
        typeInto(ids::sizeField, "1");
        typeInto(ids::countField, "2");
        pressStartButton();
        EXPECT_TRUE(waitForButton("GO"));
        EXPECT_TRUE(waitUntil([] { return textOf(ids::statusLine) == "Current file: 2 :: Filled: 1MB"; }));
        for (const fs::path& file : fillFiles(defaultFolder())) {
            const std::string bytes = readFile(file);
            EXPECT_EQ(bytes.size() % mib, 0u) << file;
        }
    });
    EXPECT_EQ(exitCode, 0);
}

// How a test makes the output folder unusable, and how it mends that again.
struct UnusableFolder {
    const char* name;
    std::function<bool(ProgramSession&, const fs::path& desktop, SmallFileSystem&)> spoil;
    std::function<void(const fs::path& desktop, SmallFileSystem&)> mend;
};

class UnusableFolders : public ProgramSession,
                        public ::testing::WithParamInterface<int> {};

const std::vector<UnusableFolder>& unusableFolders() {
    static const std::vector<UnusableFolder> cases = {
        {"ParentMissing",
         [](ProgramSession&, const fs::path& desktop, SmallFileSystem&) {
             fs::remove_all(desktop);
             return true;
         },
         [](const fs::path& desktop, SmallFileSystem&) { fs::create_directories(desktop); }},
        {"ParentReadOnly",
         [](ProgramSession&, const fs::path& desktop, SmallFileSystem& mounts) {
             // Root may write anywhere; only a read-only mount stops it.
             if (::geteuid() == 0) return mounts.mountAt(desktop, "ro,size=1m");
             fs::permissions(desktop, fs::perms::owner_read | fs::perms::owner_exec);
             return true;
         },
         [](const fs::path& desktop, SmallFileSystem& mounts) {
             if (::geteuid() == 0) {
                 mounts.remount(desktop, "rw,size=1m");
             } else {
                 fs::permissions(desktop, fs::perms::owner_all);
             }
         }},
        {"NameOfAFile",
         [](ProgramSession&, const fs::path& desktop, SmallFileSystem&) {
             std::ofstream(desktop / "zeroes") << "keep me";
             return true;
         },
         [](const fs::path& desktop, SmallFileSystem&) { fs::remove(desktop / "zeroes"); }},
    };
    return cases;
}

TEST_P(UnusableFolders, ShowTheErrorBoxChangeNothingAndAreCheckedAgainAtTheNextPress) {
    const UnusableFolder& folder = unusableFolders()[static_cast<std::size_t>(GetParam())];
    REQUIRE_SMALL_FILE_SYSTEM(folder.spoil(*this, desktop(), *mounts_));
    const auto before = diskSnapshot(root_ / "home");
    const std::string keptText = fs::is_regular_file(defaultFolder()) ? readFile(defaultFolder()) : "";
    const int exitCode = runProgram([&] {
        typeInto(ids::sizeField, " 1x");
        typeInto(ids::countField, "2");
        for (int press = 0; press < 2; ++press) {
            pressStartButton();
            ASSERT_TRUE(waitForBox("ERROR")) << "press " << press;
            EXPECT_EQ(modalBoxText(),
                      "Cannot use or create the directory, or the specified name is a file");
            pressOkInBox();
            ASSERT_TRUE(waitUntil([] { return modalBoxTitle().isEmpty(); }));
            EXPECT_EQ(textOf(ids::startButton), "GO");
            EXPECT_EQ(textOf(ids::sizeField), " 1x");
            EXPECT_EQ(diskSnapshot(root_ / "home"), before) << "press " << press;
            if (!keptText.empty()) {
                EXPECT_EQ(readFile(defaultFolder()), keptText);
            }
        }
        // Mended while the program runs: the next press checks anew and starts the run.
        folder.mend(desktop(), *mounts_);
        pressStartButton();
        EXPECT_TRUE(waitForButton("GO"));
        EXPECT_TRUE(modalBoxTitle().isEmpty());
        EXPECT_EQ(textOf(ids::sizeField), "1");
        EXPECT_EQ(fillFiles(defaultFolder()).size(), 2u);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(openedTargets(), std::vector<std::string>{defaultFolder().string() + "/"});
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableFolders, ::testing::Range(0, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(unusableFolders()[static_cast<std::size_t>(info.param)].name);
                         });

// Fails the whole test program, instead of letting it hang, when a cycle of the
// stress run takes far longer than any cycle can.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            const std::lock_guard hold(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void progress(int cycle) {
        const std::lock_guard hold(mutex_);
        cycle_ = cycle;
        changed_.notify_all();
    }

private:
    void watch() {
        std::unique_lock hold(mutex_);
        while (!done_) {
            const int seen = cycle_;
            if (!changed_.wait_for(hold, limit_, [&] { return done_ || cycle_ != seen; })) {
                std::fprintf(stderr, "watchdog: cycle %d made no progress in %lld s: deadlock\n",
                             seen, static_cast<long long>(limit_.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }

    std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    int cycle_ = 0;
    std::thread thread_;
};

TEST_F(ProgramSession, HundredsOfRunsStoppedAtRandomMomentsEachEndWithGo) {
    const fs::path folders[2] = {root_ / "first folder", root_ / "second folder"};
    for (const fs::path& folder : folders) fs::create_directories(folder);
    const int cycles = std::getenv("VELLUMITE_STRESS_CYCLES") ? std::atoi(std::getenv("VELLUMITE_STRESS_CYCLES")) : 300;
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    const int exitCode = runProgram([&] {
        Watchdog watchdog(std::chrono::seconds(120));
        typeInto(ids::sizeField, "1");
        int stopsPressed = 0;
        int fullRunsChecked = 0;
        for (int cycle = 0; cycle < cycles && !::testing::Test::HasFatalFailure(); ++cycle) {
            watchdog.progress(cycle);
            const int count = std::uniform_int_distribution<int>(1, 3)(random);
            typeInto(ids::countField, QString::number(count));
            // Every 30th run the folder is replaced from the menu while the run goes on.
            const bool replaceFolder = cycle % 30 == 15;
            if (replaceFolder) typeInto(ids::countField, "100000");
            pressStartButton();
            if (replaceFolder) {
                EXPECT_TRUE(chooseDirectoryFromMenu(folders[(cycle / 30) % 2])) << "cycle " << cycle;
            }
            // Two runs in three are stopped, at a moment anywhere from at once to
            // after their end (a stray press after the worker's last report).
            const bool stop = replaceFolder || std::uniform_int_distribution<int>(0, 2)(random) != 0;
            if (stop) {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(std::uniform_int_distribution<int>(0, 8000)(random)));
                if (pressStopIfRunning()) ++stopsPressed;
            }
            if (!waitForButton("GO")) {
                ADD_FAILURE() << "cycle " << cycle << ": the button never read GO again";
                return;
            }
            if (!stop) {
                // Whatever the earlier presses left behind, this run was not stopped.
                const QString expected = QStringLiteral("Current file: %1 :: Filled: 1MB").arg(count);
                EXPECT_TRUE(waitUntil([&] { return textOf(ids::statusLine) == expected; }, 5s))
                    << "cycle " << cycle << ": " << textOf(ids::statusLine).toStdString();
                ++fullRunsChecked;
            }
        }
        EXPECT_GT(stopsPressed, 0);
        EXPECT_GT(fullRunsChecked, 0);
    });
    EXPECT_EQ(exitCode, 0);
    // Each folder received files, each of whole blocks.
    for (const fs::path& folder : {defaultFolder(), folders[0], folders[1]}) {
        const std::vector<fs::path> files = fillFiles(folder);
        EXPECT_FALSE(files.empty()) << folder;
        for (const fs::path& file : files) EXPECT_TRUE(holdsWholeBlocksOf(file, '\0'));
    }
}

}  // namespace
}  // namespace driver

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<platform::Toolkit> toolkit = platform::createToolkit();
    driver::theToolkit() = toolkit.get();
    return RUN_ALL_TESTS();
}
