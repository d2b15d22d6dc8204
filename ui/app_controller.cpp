#include "ui/app_controller.h"

#include <memory>
#include <mutex>

#include "engine/fill_worker.h"
#include "engine/parse_number.h"
#include "outputdir/launch.h"
#include "outputdir/output_directory.h"
#include "platform/process.h"
#include "platform/text.h"
#include "resources/stored_data.h"
#include "ui/help_window.h"
#include "ui/identifiers.h"
#include "ui/main_window.h"

using platform::Event;
using platform::EventKind;

std::wstring statusText(std::int32_t currentFile, std::int32_t filledMiB) {
    return L"Current file: " + decimalText(currentFile) + L" :: Filled: " +
           decimalText(filledMiB) + L"MB";
}

void AppController::startUp() {
    toolkit_.setProgramIcon(programIconBlock().data, programIconBlock().size);
    loadHelpImage(toolkit_);
    replaceOutputDirectory(job_, defaultOutputDirectory());

    const StoredBlock disclaimer = disclaimerTextBlock();
    showMessage(toolkit_, L"DISCLAIMER",
                platform::ansiToWide(reinterpret_cast<const char*>(disclaimer.data),
                                     disclaimer.size));

    buildMainWindow(toolkit_, readOutputDirectory(job_));
    // jobLock is part of FillJob and exists from here on, before the first event.
}

int AppController::run() {
    startUp();
    while (!quitRequested_) handle(toolkit_.waitEvent());
    toolkit_.releaseAll();
    return 0;
}

void AppController::handle(const Event& event) {
    switch (event.kind) {
        case EventKind::Menu:
            if (event.id == ids::outputDirectoryItem) chooseDirectory();
            if (event.id == ids::helpAboutItem) toggleHelpWindow(toolkit_);
            break;
        case EventKind::Timer:
            refreshStatus();
            break;
        case EventKind::CloseRequest:
            if (event.id == ids::mainWindow) quitRequested_ = true;
            if (event.id == ids::helpWindow) toggleHelpWindow(toolkit_);
            break;
        case EventKind::Control:
            if (event.id == ids::startButton) {
                if (toolkit_.text(ids::startButton) == L"GO") {
                    startRun();
                } else {
                    requestStop();
                }
            }
            break;
        case EventKind::Other:
            break;
    }
}

void AppController::startRun() {
    // Held from the first field read until the worker has been started, so the
    // worker's first report waits for the end of this sequence.
    std::lock_guard lock(job_.jobLock);
    job_.sizePerFileMiB = low32Bits(parseNumber(toolkit_.text(ids::sizeField)));
    job_.fileCount = low32Bits(parseNumber(toolkit_.text(ids::countField)));
    fillTypeFromText(toolkit_.text(ids::fillTypeList), job_.fillType);

    if (!prepareOutputDirectory(toolkit_, job_.outputDirectory)) return;

    toolkit_.setText(ids::startButton, L"STOP");
    rewriteNumberField(ids::countField);
    rewriteNumberField(ids::sizeField);

    // A stop pressed after the previous worker's last report must not stop this run.
    discardStaleStopRequest(job_);
    platform::Toolkit& toolkit = toolkit_;
    const bool started = startFillWorker(
        job_, [&toolkit] { toolkit.setTextFromAnyThread(ids::startButton, L"GO"); });
    // Without a worker nothing would ever set "GO" again; keep the program usable.
    if (!started) toolkit_.setText(ids::startButton, L"GO");
}

void AppController::requestStop() { ::requestStop(job_); }

void AppController::refreshStatus() {
    std::lock_guard lock(job_.jobLock);
    toolkit_.setText(ids::statusLine, job_.runStarted == 0
                                          ? std::wstring(L"Idle")
                                          : statusText(job_.currentFile, job_.filledMiB));
}

void AppController::rewriteNumberField(int fieldId) {
    toolkit_.setText(fieldId, decimalText(parseNumber(toolkit_.text(fieldId))));
}

void AppController::chooseDirectory() {
    if (chooseOutputDirectory(toolkit_, job_)) {
        toolkit_.setText(ids::directoryLine, directoryLinePrefix + readOutputDirectory(job_));
    }
}

void runProgramOn(platform::Toolkit& toolkit) {
    // Lives until the process ends: a worker still running at shutdown keeps using it.
    static FillJob fillJob;
    AppController controller(toolkit, fillJob);
    platform::endProcess(controller.run());
}

void runProgram() {
    const std::unique_ptr<platform::Toolkit> toolkit = platform::createToolkit();
    runProgramOn(*toolkit);
}
