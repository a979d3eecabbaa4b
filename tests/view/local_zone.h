// The process's zone for as long as one test holds it: Qt reads TZ for local time.
#pragma once

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
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalZone() {
        if (before_) {
            setenv("TZ", before_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    std::optional<std::string> before_;
};

} // namespace zklog::test
