#include "view/render.h"

#include "view/chart_export.h"
#include "view/chart_panel.h"
#include "view/log_source.h"

#include <QFile>
#include <SQLiteCpp/Exception.h>
#include <iostream>

namespace zklog::view {

int render_to_file(const RenderRequest& request) {
    std::shared_ptr<ChartData> data;
    try {
        SQLite::Database db = open_log_read_only(request.database);
        data = std::make_shared<ChartData>(load_chart_data(db));
    } catch (const LogSourceError& e) {
        std::cerr << "zklog-view: " << e.what() << "\n";
        return 1;
    } catch (const SQLite::Exception& e) {
        std::cerr << "zklog-view: "
                  << describe_engine_error(request.database, e.getErrorCode(), e.what()) << "\n";
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
