// The main window: its controls, the stacking layout, the menu bar and the status timer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/toolkit.h"

inline constexpr wchar_t mainWindowTitle[] = L"Vellumite 0.1";
inline constexpr wchar_t directoryLinePrefix[] = L"DIRECTORY: ";

// Pixel measurements that decide a control's required height.
struct HeightMetrics {
    int dpiY = 96;
    int textHeightPixels = 0;  // text lines: the text laid out without word wrap
    int hgHeightPixels = 0;    // fields and lists: the height of "Hg"
    int edgeHeightPixels = 0;  // the 3-D edge height
};

// The height a control of that kind asks for, in window units.
int requiredHeight(platform::ControlKind kind, const HeightMetrics& metrics);

// One control of the vertical stack, with the gap above it (to the control before).
struct StackEntry {
    int controlId = 0;
    int gapAbove = 0;
    int height = 0;  // units, as asked
};

// Places the controls from `top` downwards, each below the one before it by that
// one's height as read back plus the gap. `place` puts a control at y with the
// asked height and answers the height read back. Answers the bottom of the last.
int stackControls(const std::vector<StackEntry>& stack, int top,
                  const std::function<int(int controlId, int y, int height)>& place);

// The client height the window asks for: the bottom of the status line, the menu
// bar's height and a 10-unit margin.
int mainWindowClientHeight(int statusLineBottom, int menuBarHeightUnits);

// Builds, lays out and shows the main window with its menu bar and status timer.
void buildMainWindow(platform::Toolkit& toolkit, const std::wstring& outputDirectory);
