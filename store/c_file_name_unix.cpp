#include "store/c_file_name.h"

namespace zklog::store {

std::string c_file_name(const std::filesystem::path& path) {
    return path.string();
}

} // namespace zklog::store
