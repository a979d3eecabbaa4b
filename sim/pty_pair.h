// A pseudo-terminal standing in for the relay's serial port.
#pragma once

#include <string>

namespace zklog::sim {

class PtyPair {
public:
    // Throws std::system_error when no pty can be had.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int master() const { return master_; }
    // The device path a client opens, e.g. /dev/pts/3.
    const std::string& slave_path() const { return slave_path_; }
    bool is_open() const { return master_ >= 0; }
    // Bytes written to the master that the client has not read yet.
    int unread_by_client() const;
    // Closes both sides: the device disappears, as when a USB adapter is pulled.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

} // namespace zklog::sim
