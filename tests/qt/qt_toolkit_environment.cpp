#include <memory>

#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {

namespace {

std::unique_ptr<platform::Toolkit> theToolkit;

// Released before the program ends, not among the static destructors, where Qt's
// own globals may already be gone.
class ToolkitEnvironment : public testing::Environment {
public:
    void SetUp() override { theToolkit = platform::createToolkit(); }
    void TearDown() override { theToolkit.reset(); }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

}  // namespace

platform::Toolkit& toolkit() {
    return *theToolkit;
}

}  // namespace qt_test
