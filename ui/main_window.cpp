#include "ui/main_window.h"

#include <algorithm>

#include "platform/units.h"
#include "ui/identifiers.h"

using platform::ControlKind;
using platform::Rect;

namespace {

constexpr int mainWindowLeft = 100;
constexpr int mainWindowTop = 100;
constexpr int clientWidth = 300;
constexpr int controlLeft = 10;
constexpr int controlWidth = 280;
constexpr int groupGap = 10;
constexpr int startButtonHeight = 40;

struct ControlSpec {
    int id;
    ControlKind kind;
    const wchar_t* text;
};

// Creation order, which is also the Tab order.
constexpr ControlSpec creationOrder[] = {
    {ids::sizeLabel, ControlKind::TextLine, L"SIZE PER FILE (MB)"},
    {ids::sizeField, ControlKind::EditField, L"100"},
    {ids::countLabel, ControlKind::TextLine, L"NUMBER OF FILES"},
    {ids::fillTypeLabel, ControlKind::TextLine, L"FILL TYPE"},
    {ids::statusLine, ControlKind::TextLine, L"STATUS"},
    {ids::directoryLine, ControlKind::ReadOnlyLine, nullptr},  // "DIRECTORY: " + directory
    {ids::startButton, ControlKind::PushButton, L"GO"},
    {ids::fillTypeList, ControlKind::DropDownList, L""},
    {ids::countField, ControlKind::EditField, L"100"},
};

HeightMetrics measure(const platform::Toolkit& toolkit, int controlId) {
    HeightMetrics metrics;
    metrics.dpiY = toolkit.dpiY();
    metrics.textHeightPixels = toolkit.textHeightPixels(controlId);
    metrics.hgHeightPixels = toolkit.hgHeightPixels(controlId);
    metrics.edgeHeightPixels = toolkit.edgeHeightPixels();
    return metrics;
}

int askedHeight(const platform::Toolkit& toolkit, int controlId, ControlKind kind) {
    if (kind == ControlKind::PushButton) return startButtonHeight;
    return requiredHeight(kind, measure(toolkit, controlId));
}

ControlKind kindOf(int controlId) {
    for (const ControlSpec& spec : creationOrder) {
        if (spec.id == controlId) return spec.kind;
    }
    return ControlKind::TextLine;
}

int layOutControls(platform::Toolkit& toolkit) {
    // Layout order: each label flush on top of what it names, groups 10 apart.
    const std::pair<int, int> layoutOrder[] = {
        {ids::sizeLabel, 0},          {ids::sizeField, 0},
        {ids::countLabel, groupGap},  {ids::countField, 0},
        {ids::fillTypeLabel, groupGap}, {ids::fillTypeList, 0},
        {ids::startButton, groupGap}, {ids::directoryLine, groupGap},
        {ids::statusLine, groupGap},
    };
    std::vector<StackEntry> stack;
    for (const auto& [id, gap] : layoutOrder) {
        stack.push_back({id, gap, askedHeight(toolkit, id, kindOf(id))});
    }
    return stackControls(stack, groupGap, [&toolkit](int id, int y, int height) {
        toolkit.moveControl(id, Rect{controlLeft, y, controlWidth, height});
        return toolkit.controlRect(id).height;
    });
}

}  // namespace

int requiredHeight(ControlKind kind, const HeightMetrics& metrics) {
    int pixels = 0;
    switch (kind) {
        case ControlKind::TextLine:
            pixels = metrics.textHeightPixels + 2;
            break;
        case ControlKind::EditField:
        case ControlKind::ReadOnlyLine:
            pixels = metrics.hgHeightPixels + 2 * metrics.edgeHeightPixels;
            break;
        case ControlKind::DropDownList:
            pixels = std::max(metrics.hgHeightPixels + platform::unitsToPixels(8, metrics.dpiY),
                              platform::unitsToPixels(21, metrics.dpiY));
            break;
        default:
            pixels = metrics.textHeightPixels;
            break;
    }
    return platform::pixelsToUnits(pixels, metrics.dpiY);
}

int stackControls(const std::vector<StackEntry>& stack, int top,
                  const std::function<int(int controlId, int y, int height)>& place) {
    int y = top;
    int bottom = top;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (i > 0) y = bottom + stack[i].gapAbove;
        bottom = y + place(stack[i].controlId, y, stack[i].height);
    }
    return bottom;
}

int mainWindowClientHeight(int statusLineBottom, int menuBarHeightUnits) {
    return statusLineBottom + menuBarHeightUnits + 10;
}

void buildMainWindow(platform::Toolkit& toolkit, const std::wstring& outputDirectory) {
    platform::WindowSpec window;
    window.title = mainWindowTitle;
    window.clientWidth = clientWidth;
    window.clientHeight = 300;
    window.x = mainWindowLeft;
    window.y = mainWindowTop;
    toolkit.createWindow(ids::mainWindow, window);

    for (const ControlSpec& spec : creationOrder) {
        const std::wstring text =
            spec.text ? std::wstring(spec.text) : directoryLinePrefix + outputDirectory;
        toolkit.createControl(ids::mainWindow, spec.id, spec.kind, text, Rect{0, 0, 1, 1});
    }

    const int statusLineBottom = layOutControls(toolkit);

    // Each item goes to the top, so the list shows them in reverse.
    for (const wchar_t* item : {L"ALL ZERO", L"RANDOM", L"ALL ONE"}) {
        toolkit.insertListItem(ids::fillTypeList, 0, item);
    }
    toolkit.startTimer(ids::mainWindow, ids::statusTimer, 200);
    toolkit.selectListItem(ids::fillTypeList, L"ALL ZERO");

    toolkit.addMenu(ids::mainWindow, ids::mainMenu, L"Settings", ids::outputDirectoryItem,
                    L"Output Directory");
    toolkit.addMenu(ids::mainWindow, ids::mainMenu, L"?", ids::helpAboutItem, L"Help/About");

    const int menuBarHeight =
        platform::pixelsToUnits(toolkit.menuBarHeightPixels(), toolkit.dpiY());
    toolkit.placeWindow(ids::mainWindow, mainWindowLeft, mainWindowTop, clientWidth,
                        mainWindowClientHeight(statusLineBottom, menuBarHeight));
}
