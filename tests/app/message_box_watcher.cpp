#include "tests/app/message_box_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

namespace zklog::test {

MessageBoxWatcher::MessageBoxWatcher(QPushButton* start) : start_(start) {
    // The box's own event loop keeps running timers, so polling finds it while exec() waits.
    connect(&timer_, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    timer_.start(10);
}

void MessageBoxWatcher::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    ShownMessage shown;
    shown.text = box->text();
    shown.icon = box->icon();
    shown.title = box->windowTitle();
    const auto buttons = box->buttons();
    shown.only_ok = buttons.size() == 1 && box->standardButton(buttons.front()) == QMessageBox::Ok;
    shown.start_enabled = start_ == nullptr || start_->isEnabled();
    messages_.push_back(shown);
    // Clicking the box's first button closes it whatever it is, so a wrong box cannot hang the
    // test; only_ok records whether it was the right one.
    if (!buttons.empty()) {
        buttons.front()->click();
    } else {
        box->reject();
    }
}

} // namespace zklog::test
