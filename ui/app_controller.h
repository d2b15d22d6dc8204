// The application controller: start-up, the event loop and its handlers, shutdown.
#pragma once

#include <cstdint>
#include <string>

#include "engine/fill_job.h"
#include "platform/toolkit.h"

// "Current file: N :: Filled: MMB".
std::wstring statusText(std::int32_t currentFile, std::int32_t filledMiB);

class AppController {
public:
    AppController(platform::Toolkit& toolkit, FillJob& job) : toolkit_(toolkit), job_(job) {}

    // Start-up, the event loop until the main window's close request, and the
    // release of the toolkit's resources. Answers the exit code, always 0.
    int run();

    // The handlers, one per event of the dispatch table.
    void handle(const platform::Event& event);
    void startRun();
    void requestStop();
    void refreshStatus();
    void rewriteNumberField(int fieldId);
    void chooseDirectory();

    bool quitRequested() const { return quitRequested_; }

private:
    void startUp();

    platform::Toolkit& toolkit_;
    FillJob& job_;
    bool quitRequested_ = false;
};

// Runs the controller on the program's one FillJob and ends the process with its
// exit code, 0, a running fill worker included.
[[noreturn]] void runProgramOn(platform::Toolkit& toolkit);

// The program's entry: makes the toolkit and runs the program on it.
[[noreturn]] void runProgram();
