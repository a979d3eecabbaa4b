// Downloads started by clicking the window's button, against zklog-sim on a pty. Each case
// uses its own COM number because cases may run side by side.
#include "device/port_path.h"
#include "sim/record_generator.h"
#include "sim/relay_image.h"
#include "tests/app/com_link.h"
#include "tests/app/form_test_support.h"
#include "tests/app/message_box_watcher.h"
#include "tests/support/sim_process.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace zklog::test {
namespace {

const QString kTitle = QStringLiteral("LOG do ZKA / ZKB");

class FrmMainDownload : public ::testing::Test {
protected:
    void click_start() { QTest::mouseClick(c.cmdGerar, Qt::LeftButton); }
    void use_port(int number) { c.txtCOM->setText(QString::number(number)); }

    TempDir dir;
    std::filesystem::path database = fresh_database(dir);
    app::frmMain form{database};
    FormControls c = controls_of(form);
    MessageBoxWatcher watcher{c.cmdGerar};

    void SetUp() override { show_and_activate(form); }
};

TEST_F(FrmMainDownload, FullDownloadSavesEveryRecord) {
    constexpr int kRecords = 300;
    SimProcess sim({"--generate", std::to_string(kRecords)});
    ComLink link(2, sim.pty());
    use_port(2);

    int progress_samples = 0;
    bool enabled_during_progress = false;
    EventTap sampler([&] {
        if (record_in_status(c.lblTexto->text())) {
            ++progress_samples;
            enabled_during_progress = enabled_during_progress || c.cmdGerar->isEnabled();
        }
    });
    click_start();

    ASSERT_EQ(watcher.messages().size(), 1u);
    const auto& shown = watcher.messages().front();
    EXPECT_EQ(shown.text, QStringLiteral("Dados gravados com sucesso"));
    EXPECT_EQ(shown.icon, QMessageBox::Information);
    EXPECT_EQ(shown.title, kTitle);
    EXPECT_TRUE(shown.only_ok);
    EXPECT_FALSE(shown.start_enabled) << "the button must stay off until the end";
    EXPECT_GT(progress_samples, 0);
    EXPECT_FALSE(enabled_during_progress);

    EXPECT_EQ(c.lblTexto->text(), QStringLiteral("Lendo registro %1... FIM").arg(kRecords - 1));
    EXPECT_TRUE(c.cmdGerar->isEnabled());
    EXPECT_TRUE(form.port_open());
    EXPECT_EQ(rows_in(database), kRecords);
    // Copied alone with the window still open (a user taking it to a USB stick), the file
    // holds every row: none is left behind in the write-ahead log beside it.
    TempDir stick;
    std::filesystem::copy_file(database, stick.file("LOG_ZKA_ZKB.db"));
    EXPECT_EQ(rows_in(stick.file("LOG_ZKA_ZKB.db")), kRecords);
}

TEST_F(FrmMainDownload, BaseBlockFailureKeepsEarlierRows) {
    // The third record's start, from the same records the simulator generates.
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 10, 7);
    ASSERT_GE(records.size(), 3u);
    SimProcess sim(
        {"--generate", "10", "--seed", "7", "--silent-at", std::to_string(records[2].start)});
    ComLink link(3, sim.pty());
    use_port(3);

    click_start();

    ASSERT_EQ(watcher.messages().size(), 1u);
    const auto& shown = watcher.messages().front();
    EXPECT_EQ(shown.text, QStringLiteral("Erro ao ler o LOG"));
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    EXPECT_EQ(shown.title, kTitle);
    EXPECT_TRUE(shown.only_ok);
    EXPECT_EQ(c.lblTexto->text(), QStringLiteral("Erro"));
    EXPECT_TRUE(c.cmdGerar->isEnabled());
    EXPECT_EQ(rows_in(database), 2);
}

TEST_F(FrmMainDownload, PortIsNotReopenedForTheNextDownload) {
    constexpr int kRecords = 20;
    SimProcess sim({"--generate", std::to_string(kRecords)});
    ComLink link(4, sim.pty());
    use_port(4);
    click_start();
    ASSERT_EQ(watcher.messages().size(), 1u);
    ASSERT_EQ(watcher.messages().back().text, QStringLiteral("Dados gravados com sucesso"));

    // COM 4 no longer exists, yet the second download must still reach the relay.
    link.remove();
    ASSERT_FALSE(device::com_port_path(4, device::executable_dir()));
    c.txtCOM->setText(QStringLiteral("4"));
    click_start();

    ASSERT_EQ(watcher.messages().size(), 2u);
    EXPECT_EQ(watcher.messages().back().text, QStringLiteral("Dados gravados com sucesso"));
    EXPECT_EQ(c.lblTexto->text(), QStringLiteral("Lendo registro %1... FIM").arg(kRecords - 1));
    EXPECT_EQ(rows_in(database), kRecords);
}

TEST_F(FrmMainDownload, ClosingDuringDownloadStopsAtOnce) {
    constexpr int kRecords = 50;
    constexpr int kCloseAt = 3;
    SimProcess sim({"--generate", std::to_string(kRecords), "--baud", "9600"});
    ComLink link(5, sim.pty());
    use_port(5);

    std::optional<int> closed_at;
    EventTap closer([&] {
        const auto record = record_in_status(c.lblTexto->text());
        if (!closed_at && record && *record >= kCloseAt) {
            closed_at = record;
            form.close();
        }
    });
    click_start();

    ASSERT_TRUE(closed_at);
    EXPECT_TRUE(watcher.messages().empty()) << watcher.messages().front().text.toStdString();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.port_open());
    // The record whose number was shown had not been read yet when the window closed.
    EXPECT_EQ(rows_in(database), *closed_at);
    EXPECT_LT(*closed_at, kRecords);
    EXPECT_EQ(c.lblTexto->text(), QStringLiteral("Lendo registro %1...").arg(*closed_at));
}

TEST_F(FrmMainDownload, InvalidAddressIsReportedAndButtonStaysUsable) {
    SimProcess sim({"--generate", "5"});
    ComLink link(6, sim.pty());
    use_port(6);

    for (const QString& address : {QString(), QStringLiteral("x")}) {
        SCOPED_TRACE(address.toStdString());
        c.txtEnd->setText(address);
        const auto before = watcher.messages().size();
        click_start();
        ASSERT_EQ(watcher.messages().size(), before + 1);
        const auto& shown = watcher.messages().back();
        EXPECT_EQ(shown.text, QStringLiteral("Endereço inválido."));
        EXPECT_EQ(shown.icon, QMessageBox::Warning);
        EXPECT_EQ(shown.title, kTitle);
        EXPECT_TRUE(c.cmdGerar->isEnabled());
    }
    // And with the address put right, the same window downloads.
    c.txtEnd->setText(QStringLiteral("1"));
    click_start();
    EXPECT_EQ(watcher.messages().back().text, QStringLiteral("Dados gravados com sucesso"));
    EXPECT_EQ(rows_in(database), 5);
}

TEST_F(FrmMainDownload, InvalidPortIsReported) {
    c.txtCOM->setText(QStringLiteral("x"));
    click_start();

    ASSERT_EQ(watcher.messages().size(), 1u);
    const auto& shown = watcher.messages().front();
    EXPECT_EQ(shown.text, QStringLiteral("Porta COM inválida."));
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    EXPECT_EQ(shown.title, kTitle);
    EXPECT_TRUE(shown.only_ok);
    EXPECT_TRUE(c.cmdGerar->isEnabled());
    EXPECT_FALSE(form.port_open());
}

TEST_F(FrmMainDownload, EmptyLogIsReported) {
    SimProcess sim({"--generate", "5", "--pointer", "0"});
    ComLink link(7, sim.pty());
    use_port(7);
    click_start();
    ASSERT_EQ(watcher.messages().size(), 1u);
    EXPECT_EQ(watcher.messages().front().text, QStringLiteral("O LOG está vazio!"));
    EXPECT_EQ(watcher.messages().front().icon, QMessageBox::Information);
}

} // namespace
} // namespace zklog::test
