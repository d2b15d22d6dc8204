#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/units.h"
#include "ui/app_controller.h"
#include "ui/help_window.h"
#include "ui/main_window.h"

using platform::ControlKind;

namespace {

// The layout order of the main window with the heights that the example metrics
// give: line height 15, edge 2, at 96 dpi.
std::vector<StackEntry> exampleStack() {
    HeightMetrics metrics{96, 15, 15, 2};
    const int text = requiredHeight(ControlKind::TextLine, metrics);
    const int field = requiredHeight(ControlKind::EditField, metrics);
    const int list = requiredHeight(ControlKind::DropDownList, metrics);
    return {{3, 0, text}, {7, 0, field}, {2, 10, text},  {8, 0, field}, {4, 10, text},
            {9, 0, list}, {10, 10, 40},  {6, 10, field}, {5, 10, text}};
}

}  // namespace

TEST(RequiredHeight, ExampleMetricsAt96Dpi) {
    const HeightMetrics metrics{96, 15, 15, 2};
    EXPECT_EQ(requiredHeight(ControlKind::TextLine, metrics), 17);
    EXPECT_EQ(requiredHeight(ControlKind::EditField, metrics), 19);
    EXPECT_EQ(requiredHeight(ControlKind::ReadOnlyLine, metrics), 19);
    EXPECT_EQ(requiredHeight(ControlKind::DropDownList, metrics), 23);
}

TEST(RequiredHeight, DropDownListIsAtLeast21Units) {
    EXPECT_EQ(requiredHeight(ControlKind::DropDownList, HeightMetrics{96, 8, 8, 1}), 21);
    // At 144 dpi: 8 units are 12 pixels, 21 units are 32 (31.5 rounded away from zero).
    EXPECT_EQ(requiredHeight(ControlKind::DropDownList, HeightMetrics{144, 10, 10, 2}), 21);
    EXPECT_EQ(requiredHeight(ControlKind::DropDownList, HeightMetrics{144, 24, 24, 2}), 24);
}

TEST(MainWindowLayout, ExampleMetricsGiveTheDocumentedPlaces) {
    std::map<int, int> placedY;
    const int bottom = stackControls(exampleStack(), 10, [&](int id, int y, int height) {
        placedY[id] = y;
        return height;
    });
    const std::map<int, int> expected = {{3, 10},  {7, 27},  {2, 56},  {8, 73}, {4, 102},
                                         {9, 119}, {10, 152}, {6, 202}, {5, 231}};
    EXPECT_EQ(placedY, expected);
    EXPECT_EQ(bottom, 248);
    EXPECT_EQ(mainWindowClientHeight(bottom, 20), 278);
}

TEST(MainWindowLayout, EachControlFollowsTheHeightReadBackNotTheOneAsked) {
    // A platform that makes every control 3 units taller than asked.
    std::vector<int> ys;
    const int bottom = stackControls({{1, 0, 10}, {2, 5, 10}, {3, 0, 10}}, 7,
                                     [&](int, int y, int height) {
                                         ys.push_back(y);
                                         return height + 3;
                                     });
    EXPECT_EQ(ys, (std::vector<int>{7, 25, 38}));
    EXPECT_EQ(bottom, 51);
}

TEST(WindowUnits, ScaleAt144Dpi) {
    EXPECT_EQ(platform::unitsToPixels(300, 144), 450);  // the client width
    EXPECT_EQ(platform::unitsToPixels(280, 144), 420);  // every control's width
    EXPECT_EQ(platform::unitsToPixels(10, 144), 15);    // the left margin
    EXPECT_EQ(platform::unitsToPixels(100, 144), 150);  // the window's corner
    EXPECT_EQ(platform::unitsToPixels(1, 144), 2);      // 1.5 rounds away from zero
    EXPECT_EQ(platform::pixelsToUnits(3, 144), 2);      // 2.0
    EXPECT_EQ(platform::pixelsToUnits(1, 192), 1);      // 0.5 rounds upward
    EXPECT_EQ(platform::pixelsToUnits(17, 96), 17);
}

TEST(WindowUnits, CentringOnTheScreen) {
    EXPECT_EQ(platform::centredOrigin(1280, 806), 237);
    EXPECT_EQ(platform::centredOrigin(1281, 806), 237);  // divided as integers
    EXPECT_EQ(platform::centredOrigin(800, 1000), 0);    // larger than the screen
}

TEST(StatusText, FormsTheProgressLine) {
    EXPECT_EQ(statusText(3, 57), L"Current file: 3 :: Filled: 57MB");
    EXPECT_EQ(statusText(0, 0), L"Current file: 0 :: Filled: 0MB");
    EXPECT_EQ(statusText(-1, -2147483647 - 1), L"Current file: -1 :: Filled: -2147483648MB");
}

TEST(HelpText, PlaceholderReplacement) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"[Your Software Name] License", L"Vellumite License"},
        {L"a [Your Software Name] b [Your Software Name]", L"a Vellumite b Vellumite"},
        {L"[your software name] stays", L"[your software name] stays"},
        {L"[Your Software Name][Your Software Name]", L"VellumiteVellumite"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaceAll(c.text, softwareNamePlaceholder, softwareName), c.expected) << c.text;
    }
    // The scan goes on after the replacement, so a replacement holding the
    // placeholder is not replaced again.
    EXPECT_EQ(replaceAll(L"xx", L"x", L"xx"), L"xxxx");
}

TEST(HelpText, StoredTextShowsTheProgramNameEightTimes) {
    const std::wstring text = helpTextForDisplay();
    EXPECT_EQ(text.size(), 2550u);
    EXPECT_EQ(text.find(softwareNamePlaceholder), std::wstring::npos);
    std::size_t count = 0;
    for (std::size_t at = text.find(softwareName); at != std::wstring::npos;
         at = text.find(softwareName, at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 8u);
}

TEST(HelpFont, HeightFollowsTheVerticalResolution) {
    EXPECT_EQ(helpFontHeight(96), -13);
    EXPECT_EQ(helpFontHeight(120), -17);
    EXPECT_EQ(helpFontHeight(144), -20);
    EXPECT_EQ(helpFontHeight(0), -13);  // unreadable resolution counts as 96
}
