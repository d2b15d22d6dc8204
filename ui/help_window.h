// The help window: the help and licence text beside the help picture.
#pragma once

#include <string>

#include "platform/toolkit.h"

inline constexpr wchar_t helpWindowTitle[] = L"Help";
inline constexpr wchar_t softwareNamePlaceholder[] = L"[Your Software Name]";
inline constexpr wchar_t softwareName[] = L"Vellumite";
inline constexpr wchar_t creditLine[] = L"Vellumite 0.1 - 2026 - made by the Vellumite developers";
inline constexpr wchar_t makerPageAddress[] = L"https://example.org/vellumite";

// Every occurrence of `placeholder` (case-sensitive, scanning on after each
// match, so matches never overlap) replaced by `replacement`.
std::wstring replaceAll(std::wstring text, const std::wstring& placeholder,
                        const std::wstring& replacement);

// The stored help text with the program's name in place of its placeholder.
std::wstring helpTextForDisplay();

// The help font's character height in pixels for a vertical resolution: -(10 pt).
int helpFontHeight(int dpiY);

// Decodes the stored help picture once, at start-up. Answers whether it was made.
bool loadHelpImage(platform::Toolkit& toolkit);

// Opens the help window when it is closed, closes it when it is open.
void toggleHelpWindow(platform::Toolkit& toolkit);

// Opens the maker's web page; what happens then is not looked at.
void openMakerPage();
