// Holding a serial port for one program at a time, and handing its settings back at close.
#pragma once

#include <filesystem>

namespace zklog::device {

// Two masters on one RS-485 pair garble each other's frames, and a second program that opens
// the port reconfigures the line under the first. A claim keeps everyone else out while the
// port is open:
// - an exclusive, non-blocking flock() on the device, the lock that cooperating programs take
//   (pyserial's exclusive=True, picocom, other zklog processes); taken before the port is
//   configured, so a refused program has changed nothing;
// - TIOCEXCL on the open port, which makes the kernel refuse any further open() of the tty with
//   EBUSY (root excepted, whom the flock stops instead);
// - the driver's low-latency flag, asked for while the port is held and put back as it was.
// Everything is undone by release(). No UUCP lock files: nothing on a current Debian uses them.
// That is port_claim_unix.cpp; on Windows (port_claim_win.cpp) the system refuses any second
// open of a port that libmodbus opened, and the claim has nothing to do.
class PortClaim {
public:
    PortClaim() = default;
    ~PortClaim() { release(); }
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

    // Step 1, before the port is opened and configured: false when another program holds it
    // (or the device cannot be opened at all).
    bool lock(const std::filesystem::path& device);
    // Step 2, on the descriptor the Modbus context opened.
    void hold(int port_fd);
    // Undoes both steps; the port descriptor must still be open. Safe to call at any time.
    void release();
    // Forgets the port descriptor without touching it (it is gone, e.g. the adapter was
    // pulled) and drops the lock.
    void abandon();

private:
    void drop_lock();

    int lock_fd_ = -1;
    int port_fd_ = -1;
    bool exclusive_ = false;
    bool low_latency_set_ = false;
};

} // namespace zklog::device
