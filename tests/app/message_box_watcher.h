// Answers the message boxes a test provokes, keeping what each one said.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

class QPushButton;

namespace zklog::test {

struct ShownMessage {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    bool only_ok = false;      // exactly one button, and it is OK
    bool start_enabled = true; // the window's start button while the box was up
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT

public:
    // `start`, when given, is sampled every time a box appears.
    explicit MessageBoxWatcher(QPushButton* start = nullptr);

    const std::vector<ShownMessage>& messages() const { return messages_; }

private:
    void poll();

    QTimer timer_;
    QPushButton* start_;
    std::vector<ShownMessage> messages_;
};

} // namespace zklog::test
