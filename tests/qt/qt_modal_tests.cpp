// The message box and the folder picker of the Qt toolkit, closed from inside
// their own modal loops as a user would close them.
#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {
namespace {

using platform::ControlKind;
using platform::Event;
using platform::EventKind;
using platform::Rect;

constexpr int mainWindow = 1, button = 10;

// Runs `act` on the modal box once it is up (polled from inside its own loop).
class WhenModalAppears {
public:
    explicit WhenModalAppears(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
                poll_.stop();
                act_(modal);
            }
        });
        poll_.start(10);
    }

private:
    std::function<void(QWidget*)> act_;
    QTimer poll_;
};

// A click that goes the way of the window system, where modality is enforced.
void clickThroughWindowSystem(QWidget* control) {
    QWidget* window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      control->mapTo(window, control->rect().center()));
}

class QtModalTest : public QtToolkitTest {
protected:
    void openMainWindow() {
        ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"main", 300, 200)));
        ASSERT_TRUE(kit.createControl(mainWindow, button, ControlKind::PushButton, L"GO", Rect{10, 10, 100, 40}));
        findWindow(mainWindow)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(findWindow(mainWindow)));
    }
};

TEST_F(QtModalTest, MessageBoxShowsTitleTextAndOneOkButton) {
    openMainWindow();
    const std::wstring text = L"<b>Not markup</b> & a second line\nline two";
    bool seen = false;
    WhenModalAppears closer([&](QWidget* modal) {
        seen = true;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("DISCLAIMER"));
        EXPECT_EQ(box->text(), QString::fromStdWString(text));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(box->parentWidget(), findWindow(mainWindow)) << "owned by our active window";
        box->button(QMessageBox::Ok)->click();
    });
    kit.messageBox(L"DISCLAIMER", text);
    EXPECT_TRUE(seen);
}

TEST_F(QtModalTest, MessageBoxWithoutAWindowStandsAlone) {
    bool seen = false;
    WhenModalAppears closer([&](QWidget* modal) {
        seen = true;
        EXPECT_EQ(modal->parentWidget(), nullptr);
        modal->close();  // the close box counts as OK
    });
    kit.messageBox(L"DISCLAIMER", L"text");
    EXPECT_TRUE(seen);
}

// While the box is up the program's windows take no clicks, and nothing of that
// reaches the event queue; events raised meanwhile by other means wait in order.
TEST_F(QtModalTest, MessageBoxBlocksEveryOtherWindow) {
    openMainWindow();
    QWidget* goButton = findControl(button);
    bool seen = false;
    WhenModalAppears closer([&](QWidget* modal) {
        seen = true;
        clickThroughWindowSystem(goButton);
        findWindow(mainWindow)->close();  // a close request still queues, as on Windows
        static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    kit.messageBox(L"ERROR", L"Cannot use or create the directory, or the specified name is a file");
    ASSERT_TRUE(seen);

    EXPECT_EQ(nextEvent(), (Event{EventKind::CloseRequest, mainWindow})) << "no click came through";
    clickThroughWindowSystem(goButton);
    EXPECT_EQ(nextEvent(), (Event{EventKind::Control, button})) << "the same click, without the box";
}

class QtFolderPickerTest : public QtModalTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        root = QDir::cleanPath(temp.path());
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("chosen")));
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("other")));
    }

    std::wstring pathOf(const QString& relative) const {
        return (root + QLatin1Char('/') + relative).toStdWString();
    }

    QTemporaryDir temp;
    QString root;
};

TEST_F(QtFolderPickerTest, OpensOnTheInitialFolderAndAnswersTheChosenOne) {
    openMainWindow();
    bool seen = false;
    WhenModalAppears chooser([&](QWidget* modal) {
        seen = true;
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select output directory"));
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(QDir::cleanPath(dialog->directory().absolutePath()), root) << "in its parent";
        EXPECT_EQ(dialog->selectedFiles(), QStringList{root + QStringLiteral("/chosen")}) << "selected";
        static_cast<QDialog*>(dialog)->accept();  // as the Choose button does
    });
    EXPECT_EQ(kit.pickFolder(L"Select output directory", pathOf(QStringLiteral("chosen/"))),
              pathOf(QStringLiteral("chosen")));
    EXPECT_TRUE(seen);
}

TEST_F(QtFolderPickerTest, AnswersAnotherFolderTheUserChose) {
    WhenModalAppears chooser([&](QWidget* modal) {
        // Once the folder's entries are shown, the user picks another one in the list.
        auto* model = modal->findChild<QFileSystemModel*>();
        auto* list = modal->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(model, nullptr);
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(root)) == 2; }, 10000));
        list->selectionModel()->setCurrentIndex(model->index(root + QStringLiteral("/other")),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        static_cast<QDialog*>(modal)->accept();  // as the Choose button does
    });
    EXPECT_EQ(kit.pickFolder(L"Select output directory", pathOf(QStringLiteral("chosen"))),
              pathOf(QStringLiteral("other")));
}

TEST_F(QtFolderPickerTest, CancelAnswersEmptyText) {
    WhenModalAppears canceller([](QWidget* modal) { static_cast<QFileDialog*>(modal)->reject(); });
    EXPECT_EQ(kit.pickFolder(L"Select output directory", pathOf(QStringLiteral("chosen/"))), L"");
}

TEST_F(QtFolderPickerTest, MissingInitialFolderOpensInTheNearestThatExists) {
    bool seen = false;
    WhenModalAppears canceller([&](QWidget* modal) {
        seen = true;
        auto* dialog = static_cast<QFileDialog*>(modal);
        EXPECT_EQ(QDir::cleanPath(dialog->directory().absolutePath()), root);
        dialog->reject();
    });
    EXPECT_EQ(kit.pickFolder(L"Select output directory", pathOf(QStringLiteral("missing/deeper/"))), L"");
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace qt_test
