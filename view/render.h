// zklog-view --render: the charts of a file written to an image without a window.
#pragma once

#include <QSize>
#include <QString>
#include <filesystem>

namespace zklog::view {

struct RenderRequest {
    std::filesystem::path database;
    QString output;
    QSize size{1200, 700};
};

// Returns the exit code: 0 written, 1 with the reason on standard error and no output file.
int render_to_file(const RenderRequest& request);

} // namespace zklog::view
