// The message box closer for the Qt toolkit: a timer on the window thread fires
// inside the box's modal loop and answers the box.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "box_closer.h"

struct MessageBoxCloser::Watch {
    QTimer timer;
    std::vector<ShownBox> closed;
};

MessageBoxCloser::MessageBoxCloser() : watch_(std::make_unique<Watch>()) {
    QObject::connect(&watch_->timer, &QTimer::timeout, [watch = watch_.get()] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        ShownBox box{dialog->windowTitle().toStdWString(), {}};
        if (auto* messageBox = qobject_cast<QMessageBox*>(dialog)) {
            box.text = messageBox->text().toStdWString();
        } else {
            for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                box.text += label->text().toStdWString();
            }
        }
        watch->closed.push_back(box);
        dialog->accept();
    });
    watch_->timer.start(20);
}

MessageBoxCloser::~MessageBoxCloser() = default;

std::vector<ShownBox> MessageBoxCloser::closed() const { return watch_->closed; }
