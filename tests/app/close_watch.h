// Follows one window's close and the message boxes shown around it, in the order they came, so
// a test can tell what happened before the close and what after.
#pragma once

#include "app/frm_main.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QMessageBox;

namespace zklog::test {

struct SeenBox {
    QString text;
    bool after_close = false; // shown once the window had already been closed
};

class CloseWatch : public QObject {
    Q_OBJECT

public:
    // `at_close` runs when the window's close arrives, before the window handles it.
    CloseWatch(app::frmMain& form, std::function<void()> at_close = {});
    ~CloseWatch() override;

    // Queues a close of the window the moment its first message box is shown, as a close that
    // reaches the window while the box waits for its OK.
    void close_at_first_box() { close_at_box_ = true; }
    // Tries, as another program would, to open COM `number` when the close arrives and again
    // once the window is hidden: what the window really did with its port at the close.
    void watch_port(int number) { port_number_ = number; }

    int close_events() const { return close_events_; }
    bool hidden() const { return hidden_; }
    // Whether another open of the watched port failed when the close arrived (the window still
    // held it) and succeeded once the closed window was hidden (the close released it).
    bool port_held_at_close() const { return port_held_at_close_; }
    bool port_free_when_hidden() const { return port_free_when_hidden_; }
    const std::vector<SeenBox>& boxes() const { return boxes_; }
    // A box still on screen after the window's close had been handled. The watch dismisses it
    // itself, so a box left behind fails the test instead of hanging it.
    bool box_outlived_window() const { return box_outlived_window_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void box_shown(QMessageBox* box);

    app::frmMain& form_;
    std::function<void()> at_close_;
    bool close_at_box_ = false;
    bool close_queued_ = false;
    int close_events_ = 0;
    bool hidden_ = false;
    int port_number_ = 0;
    bool port_held_at_close_ = false;
    bool port_free_when_hidden_ = false;
    bool box_outlived_window_ = false;
    std::vector<SeenBox> boxes_;
};

// Top-level widgets still visible: with none, nothing keeps the program's event loop running.
int visible_windows();

} // namespace zklog::test
