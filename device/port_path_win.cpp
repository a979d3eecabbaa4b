// COM port numbers on Windows: the system's own names.
#include "device/port_path.h"

#include <string>
#include <windows.h>

namespace zklog::device {

std::filesystem::path executable_dir() {
    // Long enough for any path Windows hands out (32767 wide characters and the terminator).
    std::wstring name(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0 || length >= name.size()) {
        return std::filesystem::current_path();
    }
    name.resize(length);
    return std::filesystem::path(name).parent_path();
}

// COM1 to COM9 would open by their bare names too, but COM10 and up only through the device
// namespace; one form for every number keeps the two from behaving differently. Whether the
// port exists is left to the open, which fails for a missing one as for a busy one.
std::optional<std::filesystem::path> com_port_path(int number, const std::filesystem::path&) {
    if (number < 1) {
        return std::nullopt;
    }
    return std::filesystem::path(R"(\\.\COM)" + std::to_string(number));
}

} // namespace zklog::device
