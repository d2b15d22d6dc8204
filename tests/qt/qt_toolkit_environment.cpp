#include <QtGlobal>

#include <memory>

#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {

namespace {

std::unique_ptr<platform::Toolkit> theToolkit;
QtMessageHandler qtsOwnHandler = nullptr;

// The offscreen platform says so each time a window is raised; the rest is kept.
void withoutOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (qtsOwnHandler) qtsOwnHandler(type, context, message);
}

// Released before the program ends, not among the static destructors, where Qt's
// own globals may already be gone.
class ToolkitEnvironment : public testing::Environment {
public:
    void SetUp() override {
        qtsOwnHandler = qInstallMessageHandler(withoutOffscreenNotices);
        theToolkit = platform::createToolkit();
    }
    void TearDown() override { theToolkit.reset(); }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

}  // namespace

platform::Toolkit& toolkit() {
    return *theToolkit;
}

}  // namespace qt_test
