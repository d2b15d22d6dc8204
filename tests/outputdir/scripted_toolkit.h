// A toolkit that shows nothing: the folder picker answers from a script and
// every call is recorded. For what a test cannot drive, the modal folder dialog.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/toolkit.h"

class ScriptedToolkit : public platform::Toolkit {
public:
    std::wstring pickerAnswer;
    std::vector<std::pair<std::wstring, std::wstring>> pickerCalls;   // prompt, initial selection
    std::vector<std::pair<std::wstring, std::wstring>> messageBoxes;  // title, text

    int dpiX() const override { return 96; }
    int dpiY() const override { return 96; }
    bool createWindow(int, const platform::WindowSpec&) override { return false; }
    void destroyWindow(int) override {}
    bool windowExists(int) const override { return false; }
    void placeWindow(int, int, int, int, int) override {}
    bool createControl(int, int, platform::ControlKind, const std::wstring&,
                       const platform::Rect&) override {
        return false;
    }
    void moveControl(int, const platform::Rect&) override {}
    platform::Rect controlRect(int) const override { return {}; }
    std::wstring text(int) const override { return {}; }
    void setText(int, const std::wstring&) override {}
    void setTextFromAnyThread(int, const std::wstring&) override {}
    void insertAtStart(int, const std::wstring&) override {}
    void setFocus(int) override {}
    void insertListItem(int, int, const std::wstring&) override {}
    void selectListItem(int, const std::wstring&) override {}
    int textHeightPixels(int) const override { return 0; }
    int hgHeightPixels(int) const override { return 0; }
    int edgeHeightPixels() const override { return 0; }
    int menuBarHeightPixels() const override { return 0; }
    void addMenu(int, int, const std::wstring&, int, const std::wstring&) override {}
    void startTimer(int, int, int) override {}
    bool loadFont(int, const std::wstring&, int) override { return false; }
    void setControlFont(int, int) override {}
    bool loadBmpImage(int, const unsigned char*, std::size_t) override { return false; }
    bool imageExists(int) const override { return false; }
    void setPictureImage(int, int) override {}
    void bindLeftClick(int, int, std::function<void()>) override {}
    void messageBox(const std::wstring& title, const std::wstring& text) override {
        messageBoxes.emplace_back(title, text);
    }
    std::wstring pickFolder(const std::wstring& prompt, const std::wstring& initial) override {
        pickerCalls.emplace_back(prompt, initial);
        return pickerAnswer;
    }
    platform::Event waitEvent() override { return {}; }
    void setProgramIcon(const unsigned char*, std::size_t) override {}
    void releaseAll() override {}
};
