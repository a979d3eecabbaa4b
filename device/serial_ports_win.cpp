// Windows: the COM names the system knows (QueryDosDevice), each with the device behind it,
// and the driver's own name for it from the system's list of serial ports
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: "\Device\VCP0" for an FTDI adapter, "\Device\Silabser0"
// for a CP210x, "\Device\Serial0" for a built-in port).
#include "device/serial_ports.h"

#include <algorithm>
#include <array>
#include <map>
#include <windows.h>

namespace zklog::device {

namespace {

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

// COM name ("COM4") -> the driver's device name, from SERIALCOMM.
std::map<std::wstring, std::wstring> serialcomm() {
    std::map<std::wstring, std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        std::array<wchar_t, 256> value_name{};
        std::array<wchar_t, 256> data{};
        auto name_size = static_cast<DWORD>(value_name.size());
        auto data_size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(key, i, value_name.data(), &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &data_size) != ERROR_SUCCESS) {
            break;
        }
        if (type == REG_SZ) {
            data[std::min<std::size_t>(data_size / sizeof(wchar_t), data.size() - 1)] = L'\0';
            names[data.data()] = value_name.data();
        }
    }
    RegCloseKey(key);
    return names;
}

} // namespace

std::vector<SerialPortInfo> serial_ports(const std::filesystem::path&) {
    std::vector<SerialPortInfo> ports;
    // Every DOS device name, each followed by a NUL, the list ending in a second one.
    std::wstring names(65536, L'\0');
    const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    if (length == 0) {
        return ports;
    }
    const auto drivers = serialcomm();
    for (const wchar_t* name = names.data(); *name != L'\0'; name += wcslen(name) + 1) {
        const std::wstring dos_name = name;
        if (dos_name.size() < 4 || dos_name.compare(0, 3, L"COM") != 0) {
            continue;
        }
        int number = 0;
        bool digits = true;
        for (std::size_t i = 3; i < dos_name.size(); ++i) {
            digits = digits && iswdigit(dos_name[i]) != 0;
            number = number * 10 + (dos_name[i] - L'0');
        }
        if (!digits || number < 1) {
            continue;
        }
        std::array<wchar_t, 1024> target{};
        // The device behind the name; an empty one when the system does not say.
        if (QueryDosDeviceW(dos_name.c_str(), target.data(), static_cast<DWORD>(target.size())) ==
            0) {
            target[0] = L'\0';
        }
        const auto driver = drivers.find(dos_name);
        ports.push_back({number, narrow(target.data()),
                         driver == drivers.end() ? std::string() : narrow(driver->second.c_str())});
    }
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.com < b.com; });
    return ports;
}

} // namespace zklog::device
