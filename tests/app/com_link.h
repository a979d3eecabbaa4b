// The window's tests' COM port: a link named COM<n> beside the test program, pointing at a
// simulated relay's pseudo-terminal (Linux only: the simulator needs one).
#pragma once

#include <filesystem>
#include <string>

namespace zklog::test {

// <folder of this test program>/COM<number> pointing at `target`, removed again on destruction.
// The port field takes one digit, so cases running side by side share COM1 to COM9: each link
// holds a lock on its number for its lifetime, and a case that asks for a number in use waits.
class ComLink {
public:
    ComLink(int number, const std::string& target);
    // The first number from 1 to 9 no other case holds.
    explicit ComLink(const std::string& target);
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    int number() const { return number_; }
    void remove();

private:
    void link_to(const std::string& target);

    int number_ = 0;
    int lock_fd_ = -1;
    std::filesystem::path path_;
};

// Whether another program could take COM `number` now: a second link opens it and closes it
// again. False while a link holds the port (it is claimed for one program at a time).
bool port_free(int number);

} // namespace zklog::test
