// The window closed at the awkward moments of a download: between records, during the pointer
// retries (when the window looks at no events) and while one of its message boxes waits. In
// each the port is closed at the close, nothing is read and no box appears after it, no window
// stays on screen and the rows saved are kept. The close is queued, as the title bar's X
// delivers it.
#include "sim/record_generator.h"
#include "sim/relay_image.h"
#include "sim/request_trace.h"
#include "tests/app/close_watch.h"
#include "tests/app/com_link.h"
#include "tests/app/form_test_support.h"
#include "tests/support/sim_process.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace zklog::test {
namespace {

const QString kReadFailed = QStringLiteral("Erro ao ler o LOG");

class FrmMainCloseFaults : public ::testing::Test {
protected:
    void SetUp() override { show_and_activate(form); }

    void click_start() { QTest::mouseClick(c.cmdGerar, Qt::LeftButton); }
    void queue_close() { QMetaObject::invokeMethod(&form, &QWidget::close, Qt::QueuedConnection); }
    // What the relay was asked, so far.
    std::size_t requests() const { return sim::read_trace(trace).size(); }
    std::vector<std::string> sim_args(std::vector<std::string> args) const {
        args.insert(args.end(), {"--trace", trace.string()});
        return args;
    }

    // What holds after every close, whenever it came.
    void expect_clean_close(const CloseWatch& watch) {
        // Anything queued behind the close (a box's own check) gets its turn.
        QCoreApplication::processEvents();
        EXPECT_EQ(watch.close_events(), 1);
        EXPECT_TRUE(watch.hidden());
        // Seen as another program sees it: held up to the close, free once the window is gone.
        EXPECT_TRUE(watch.port_held_at_close()) << "the port was let go before the close";
        EXPECT_TRUE(watch.port_free_when_hidden()) << "the port must close with the window";
        EXPECT_FALSE(form.port_open());
        EXPECT_FALSE(watch.box_outlived_window()) << "a message box stayed after its window";
        for (const SeenBox& box : watch.boxes()) {
            EXPECT_FALSE(box.after_close) << "box after the close: " << box.text.toStdString();
        }
        EXPECT_EQ(requests(), requests_at_close) << "the relay was read after the close";
        EXPECT_EQ(visible_windows(), 0) << "a window would keep the program running";
    }

    // Starts a download from a relay run with `sim_options` and closes the window as soon as
    // its first message box opens, which must read `box_text`.
    void close_at_the_box(const std::vector<std::string>& sim_options, const QString& box_text) {
        SimProcess sim(sim_args(sim_options));
        ComLink link(sim.pty());
        c.txtCOM->setText(QString::number(link.number()));

        CloseWatch watch(form, [&] { requests_at_close = requests(); });
        watch.watch_port(link.number());
        watch.close_at_first_box();
        click_start();

        ASSERT_EQ(watch.boxes().size(), 1u);
        EXPECT_EQ(watch.boxes().front().text, box_text);
        expect_clean_close(watch);
    }

    TempDir dir;
    std::filesystem::path database = fresh_database(dir);
    std::filesystem::path trace = dir.file("trace.txt");
    app::frmMain form{database};
    FormControls c = controls_of(form);
    std::size_t requests_at_close = 0;
};

TEST_F(FrmMainCloseFaults, ClosedBetweenRecordsStopsBeforeTheNextRead) {
    constexpr int kRecords = 50;
    SimProcess sim(sim_args({"--generate", std::to_string(kRecords), "--baud", "9600"}));
    ComLink link(sim.pty());
    c.txtCOM->setText(QString::number(link.number()));

    std::optional<int> record_at_close;
    CloseWatch watch(form, [&] {
        record_at_close = record_in_status(c.lblTexto->text());
        requests_at_close = requests();
    });
    watch.watch_port(link.number());
    bool queued = false;
    EventTap closer([&] {
        const auto record = record_in_status(c.lblTexto->text());
        if (!queued && record && *record >= 3) {
            queued = true;
            queue_close();
        }
    });
    click_start();

    ASSERT_TRUE(record_at_close) << "the close must arrive during the download";
    EXPECT_LT(*record_at_close, kRecords);
    EXPECT_GT(requests_at_close, 1u);
    EXPECT_TRUE(watch.boxes().empty()) << watch.boxes().front().text.toStdString();
    expect_clean_close(watch);
    // Records 0 to N-1 were saved; N was shown as next and never read.
    EXPECT_EQ(rows_in(database), *record_at_close);
    EXPECT_EQ(c.lblTexto->text(), QStringLiteral("Lendo registro %1...").arg(*record_at_close));
}

// A close queued while the pointer is asked for is seen after the first attempt, before the
// table is emptied: the download stops there, with no box, and the previous rows stay.
TEST_F(FrmMainCloseFaults, ClosedDuringThePointerRetriesStopsWithTheTableAsItWas) {
    add_rows(database, 4);
    const std::string before = table_contents(database);
    SimProcess sim(sim_args({"--generate", "5", "--fail-pointer", "6"}));
    ComLink link(sim.pty());
    c.txtCOM->setText(QString::number(link.number()));

    CloseWatch watch(form, [&] { requests_at_close = requests(); });
    watch.watch_port(link.number());
    queue_close(); // waits in the queue while the click below reads
    click_start();

    EXPECT_TRUE(watch.boxes().empty()) << watch.boxes().front().text.toStdString();
    EXPECT_EQ(requests_at_close, 1u) << "the close is seen after the first attempt";
    EXPECT_EQ(sim::read_trace(trace).size(), 1u);
    expect_clean_close(watch);
    EXPECT_EQ(table_contents(database), before);
}

TEST_F(FrmMainCloseFaults, ClosedWhileTheSuccessBoxIsOpen) {
    constexpr int kRecords = 20;
    close_at_the_box({"--generate", std::to_string(kRecords)},
                     QStringLiteral("Dados gravados com sucesso"));
    EXPECT_EQ(rows_in(database), kRecords);
}

TEST_F(FrmMainCloseFaults, ClosedWhileARecordErrorBoxIsOpen) {
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 10, 7);
    close_at_the_box(
        {"--generate", "10", "--seed", "7", "--silent-at", std::to_string(records.at(2).start)},
        kReadFailed);
    EXPECT_EQ(rows_in(database), 2);
}

TEST_F(FrmMainCloseFaults, ClosedWhileAnInputErrorBoxIsOpen) {
    add_rows(database, 3);
    const std::string before = table_contents(database);
    c.txtEnd->setText(QStringLiteral("0"));
    close_at_the_box({"--generate", "5"}, QStringLiteral("Endereço inválido."));
    EXPECT_EQ(requests(), 0u);
    EXPECT_EQ(table_contents(database), before);
}

TEST_F(FrmMainCloseFaults, ClosedWhileTheEmptyLogBoxIsOpen) {
    add_rows(database, 3);
    const std::string before = table_contents(database);
    close_at_the_box({"--generate", "5", "--pointer", "0"}, QStringLiteral("O LOG está vazio!"));
    EXPECT_EQ(table_contents(database), before);
}

// A second close (the X clicked again before the program ended) changes nothing.
TEST_F(FrmMainCloseFaults, ClosingTwiceIsHarmless) {
    SimProcess sim(sim_args({"--generate", "5"}));
    ComLink link(sim.pty());
    c.txtCOM->setText(QString::number(link.number()));
    CloseWatch watch(form);
    watch.watch_port(link.number());
    watch.close_at_first_box();
    click_start();
    ASSERT_EQ(watch.close_events(), 1);
    EXPECT_TRUE(watch.port_held_at_close());
    EXPECT_TRUE(watch.port_free_when_hidden());

    form.close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.port_open());
    EXPECT_EQ(watch.boxes().size(), 1u);
    EXPECT_EQ(visible_windows(), 0);
    EXPECT_EQ(rows_in(database), 5);
}

} // namespace
} // namespace zklog::test
