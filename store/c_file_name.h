// A file name as the C library's fopen() and open() take it, for libraries that open their
// files themselves (the workbook writer): on Linux the name's own bytes, on Windows the ANSI
// code page, which is all those functions understand there.
#pragma once

#include <filesystem>
#include <string>

namespace zklog::store {

// Throws std::runtime_error when the name holds a character that encoding cannot carry (on
// Windows, a letter outside the system's code page), rather than let it open another file.
std::string c_file_name(const std::filesystem::path& path);

} // namespace zklog::store
