#include "tests/app/close_watch.h"

#include "tests/app/com_link.h"
#include "tests/app/form_test_support.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>

namespace zklog::test {

CloseWatch::CloseWatch(app::frmMain& form, std::function<void()> at_close)
    : form_(form), at_close_(std::move(at_close)) {
    // On the application, so the boxes (made and destroyed inside the download) are seen too.
    qApp->installEventFilter(this);
}

CloseWatch::~CloseWatch() {
    qApp->removeEventFilter(this);
}

bool CloseWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Close) {
        if (++close_events_ == 1 && port_number_ != 0) {
            port_held_at_close_ = !port_free(port_number_);
        }
        if (at_close_) {
            at_close_();
        }
    } else if (watched == &form_ && event->type() == QEvent::Hide && close_events_ > 0) {
        if (!hidden_ && port_number_ != 0) {
            port_free_when_hidden_ = port_free(port_number_);
        }
        hidden_ = true;
    } else if (event->type() == QEvent::Show) {
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            box_shown(box);
        }
    }
    return false;
}

// Show comes from inside exec(), before the box's event loop runs: whatever is queued here is
// delivered by that loop, in the order queued.
void CloseWatch::box_shown(QMessageBox* box) {
    boxes_.push_back({box->text(), close_events_ > 0});
    if (close_at_box_ && !close_queued_) {
        close_queued_ = true;
        QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
    }
    // Runs after everything queued before it (a pending close included), if the box object
    // still exists; a box already dismissed is left alone.
    QMetaObject::invokeMethod(
        box,
        [this, box] {
            if (!box->isVisible()) {
                return;
            }
            if (close_events_ > 0) {
                box_outlived_window_ = true;
            }
            box->reject();
        },
        Qt::QueuedConnection);
}

int visible_windows() {
    int visible = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        visible += widget->isVisible() ? 1 : 0;
    }
    return visible;
}

} // namespace zklog::test
