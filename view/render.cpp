#include "view/render.h"

#include "view/chart_export.h"
#include "view/chart_panel.h"
#include "view/log_reading.h"

#include <QFile>
#include <iostream>

namespace zklog::view {

int render_to_file(const RenderRequest& request) {
    std::shared_ptr<ChartData> data;
    if (const auto error = read_log_file(request.database, [&data](SQLite::Database& db) {
            data = std::make_shared<ChartData>(load_chart_data(db));
        })) {
        std::cerr << "zklog-view: " << *error << "\n";
        return 1;
    }
    ChartPanel panel;
    panel.set_data(data);
    if (const auto error = write_chart(panel, request.output, request.size)) {
        std::cerr << "zklog-view: " << error->toStdString() << "\n";
        QFile::remove(request.output);
        return 1;
    }
    return 0;
}

} // namespace zklog::view
