// The program's own numbers for its windows, controls, timer, menu, font and image.
#pragma once

namespace ids {

// The main window and its parts.
inline constexpr int mainWindow = 1;
inline constexpr int countLabel = 2;
inline constexpr int sizeLabel = 3;
inline constexpr int fillTypeLabel = 4;
inline constexpr int statusLine = 5;
inline constexpr int directoryLine = 6;
inline constexpr int sizeField = 7;
inline constexpr int countField = 8;
inline constexpr int fillTypeList = 9;
inline constexpr int startButton = 10;
inline constexpr int statusTimer = 11;
inline constexpr int mainMenu = 12;
inline constexpr int outputDirectoryItem = 13;
inline constexpr int helpAboutItem = 14;

// The help window and its parts.
inline constexpr int helpFont = 15;
inline constexpr int helpWindow = 16;
inline constexpr int helpTextBox = 17;
inline constexpr int helpPicture = 18;
inline constexpr int helpImage = 19;

}  // namespace ids
