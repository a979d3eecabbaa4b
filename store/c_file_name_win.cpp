#include "store/c_file_name.h"

#include <stdexcept>
#include <windows.h>

namespace zklog::store {

std::string c_file_name(const std::filesystem::path& path) {
    const std::wstring wide = path.wstring();
    if (wide.empty()) {
        return {};
    }
    const auto wide_size = static_cast<int>(wide.size());
    // No best-fit mapping: "Relé" in a code page without "é" must fail, not become "Rele".
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size,
                                         nullptr, 0, nullptr, &lost);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    if (size == 0 || lost ||
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_size, narrow.data(),
                            size, nullptr, &lost) != size ||
        lost) {
        throw std::runtime_error("the file name has characters that this Windows cannot pass on "
                                 "to the workbook writer; choose a folder and a name without "
                                 "them");
    }
    return narrow;
}

} // namespace zklog::store
