// The process's zone for as long as one test holds it: Qt reads TZ for local time.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace zklog::test {

class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* now = std::getenv("TZ")) {
            before_ = now;
        }
        qputenv("TZ", QByteArray(zone));
        tzset();
    }
    ~LocalZone() {
        if (before_) {
            qputenv("TZ", QByteArray(before_->c_str()));
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    std::optional<std::string> before_;
};

} // namespace zklog::test
