// zklog: downloads a relay's event log into LOG_ZKA_ZKB.db next to the executable.
#include "app/load_form.h"
#include "device/port_path.h"
#include "store/log_database.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The program takes no options: Qt sees only the program name, so nothing on the command
    // line changes how it runs.
    int qt_argc = argc > 0 ? 1 : 0;
    QApplication application(qt_argc, argv);

    const auto form = zklog::app::load_main_form(
        zklog::store::default_database_path(zklog::device::executable_dir()));
    if (!form) {
        return 1;
    }
    form->show();
    return QApplication::exec();
}
