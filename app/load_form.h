// Start-up: the window with its database open, or the reason it could not be opened.
#pragma once

#include "app/frm_main.h"

#include <filesystem>
#include <memory>

namespace zklog::app {

// The window, not yet shown. When the database cannot be opened the engine's text is shown in
// a message box and the result is empty: the program then ends without a window.
std::unique_ptr<frmMain> load_main_form(const std::filesystem::path& database_path);

} // namespace zklog::app
