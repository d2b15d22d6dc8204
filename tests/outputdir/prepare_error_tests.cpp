// prepareOutputDirectory when the directory cannot be used: the "ERROR" box of
// the real toolkit (Qt offscreen, or Win32 under Wine), closed by the test.
// (Under Wine without a window manager each box takes about 2 s to go away, so
// there are few of them.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "box_closer.h"
#include "outputdir/launch.h"
#include "outputdir/output_directory.h"
#include "platform/files.h"
#include "platform/toolkit.h"
#include "temp_directory.h"

namespace {

const std::wstring sep(1, platform::pathSeparator());
const std::wstring errorText = L"Cannot use or create the directory, or the specified name is a file";

class PrepareFailure : public ::testing::Test {
protected:
    static void SetUpTestSuite() { toolkit = platform::createToolkit().release(); }
    static void TearDownTestSuite() {
        toolkit->releaseAll();
        delete toolkit;
        toolkit = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(temp.ready());
        ASSERT_NE(toolkit, nullptr);
    }

    static platform::Toolkit* toolkit;
    TempDirectory temp;
};

platform::Toolkit* PrepareFailure::toolkit = nullptr;

TEST_F(PrepareFailure, MissingParentShowsTheErrorBoxAndCreatesNothing) {
    const std::wstring directory = temp.withSeparator() + L"absent" + sep + L"child" + sep;
    const MessageBoxCloser closer;
    EXPECT_FALSE(prepareOutputDirectory(*toolkit, directory));
    const auto boxes = closer.closed();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"ERROR");
    EXPECT_EQ(boxes[0].text, errorText);
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "absent"));
}

TEST_F(PrepareFailure, NameOfAFileShowsTheErrorBoxAndLeavesTheFile) {
    std::ofstream(temp.path() / "taken", std::ios::binary) << "keep me";
    const MessageBoxCloser closer;
    EXPECT_FALSE(prepareOutputDirectory(*toolkit, temp.withSeparator() + L"taken" + sep));
    const auto boxes = closer.closed();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"ERROR");
    EXPECT_EQ(boxes[0].text, errorText);
    std::ifstream file(temp.path() / "taken", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "keep me");
}

}  // namespace
