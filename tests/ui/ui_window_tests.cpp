// The main window and the help window, built on the real toolkit of this build.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/toolkit.h"
#include "platform/units.h"
#include "ui/help_window.h"
#include "ui/identifiers.h"
#include "ui/main_window.h"

namespace {

platform::Toolkit* toolkit = nullptr;

std::wstring withoutCarriageReturns(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!toolkit->windowExists(ids::mainWindow)) {
            buildMainWindow(*toolkit, L"/some/where/zeroes/");
        }
    }
};

TEST_F(MainWindowTest, ControlsCarryTheirInitialTexts) {
    struct Case {
        int id;
        const wchar_t* text;
    };
    const Case cases[] = {
        {ids::sizeLabel, L"SIZE PER FILE (MB)"}, {ids::sizeField, L"100"},
        {ids::countLabel, L"NUMBER OF FILES"},   {ids::countField, L"100"},
        {ids::fillTypeLabel, L"FILL TYPE"},      {ids::fillTypeList, L"ALL ZERO"},
        {ids::startButton, L"GO"},               {ids::directoryLine, L"DIRECTORY: /some/where/zeroes/"},
        {ids::statusLine, L"STATUS"},
    };
    for (const Case& c : cases) EXPECT_EQ(toolkit->text(c.id), c.text) << "control " << c.id;
}

TEST_F(MainWindowTest, ControlsAreStackedByTheHeightsReadBack) {
    struct Place {
        int id;
        int gapAbove;
    };
    const Place layoutOrder[] = {{ids::sizeLabel, 0},      {ids::sizeField, 0},
                                 {ids::countLabel, 10},    {ids::countField, 0},
                                 {ids::fillTypeLabel, 10}, {ids::fillTypeList, 0},
                                 {ids::startButton, 10},   {ids::directoryLine, 10},
                                 {ids::statusLine, 10}};
    int expectedY = 10;
    for (const Place& place : layoutOrder) {
        const platform::Rect rect = toolkit->controlRect(place.id);
        expectedY += place.gapAbove;
        EXPECT_EQ(rect.x, 10) << "control " << place.id;
        EXPECT_EQ(rect.width, 280) << "control " << place.id;
        EXPECT_EQ(rect.y, expectedY) << "control " << place.id;
        EXPECT_GT(rect.height, 0) << "control " << place.id;
        expectedY = rect.y + rect.height;
    }
    EXPECT_EQ(toolkit->controlRect(ids::startButton).height, 40);
}

TEST_F(MainWindowTest, ListItemsAreChosenIgnoringCase) {
    toolkit->selectListItem(ids::fillTypeList, L"random");
    EXPECT_EQ(toolkit->text(ids::fillTypeList), L"RANDOM");
    toolkit->selectListItem(ids::fillTypeList, L"NO SUCH PATTERN");
    EXPECT_EQ(toolkit->text(ids::fillTypeList), L"RANDOM");
    toolkit->selectListItem(ids::fillTypeList, L"ALL ZERO");
    EXPECT_EQ(toolkit->text(ids::fillTypeList), L"ALL ZERO");
}

TEST_F(MainWindowTest, StatusTimerTicksArriveAsTimerEvents) {
    int ticks = 0;
    for (int events = 0; events < 200 && ticks < 2; ++events) {
        const platform::Event event = toolkit->waitEvent();
        if (event.kind == platform::EventKind::Timer) {
            EXPECT_EQ(event.id, ids::statusTimer);
            ++ticks;
        }
    }
    EXPECT_EQ(ticks, 2);
}

TEST(HelpWindowTest, ToggleOpensAndClosesWithTheCreditLineFirst) {
    ASSERT_FALSE(toolkit->windowExists(ids::helpWindow));
    const std::wstring expected =
        withoutCarriageReturns(std::wstring(creditLine) + L"\r\n" + helpTextForDisplay());
    for (int opening = 0; opening < 2; ++opening) {
        toggleHelpWindow(*toolkit);
        ASSERT_TRUE(toolkit->windowExists(ids::helpWindow));
        EXPECT_EQ(withoutCarriageReturns(toolkit->text(ids::helpTextBox)), expected);
        const platform::Rect picture = toolkit->controlRect(ids::helpPicture);
        EXPECT_EQ(picture.x, 591);
        EXPECT_EQ(picture.y, 130);
        toggleHelpWindow(*toolkit);
        EXPECT_FALSE(toolkit->windowExists(ids::helpWindow));
    }
}

TEST(HelpWindowTest, PictureTakesTheSizeOfTheDecodedImage) {
    ASSERT_TRUE(toolkit->imageExists(ids::helpImage));
    toggleHelpWindow(*toolkit);
    const platform::Rect picture = toolkit->controlRect(ids::helpPicture);
    EXPECT_EQ(picture.width, platform::pixelsToUnits(210, toolkit->dpiX()));
    EXPECT_EQ(picture.height, platform::pixelsToUnits(259, toolkit->dpiY()));
    toggleHelpWindow(*toolkit);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<platform::Toolkit> made = platform::createToolkit();
    toolkit = made.get();
    loadHelpImage(*toolkit);
    const int result = RUN_ALL_TESTS();
    toolkit->releaseAll();
    return result;
}
