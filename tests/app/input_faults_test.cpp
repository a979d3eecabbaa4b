// Bad text typed into the port and address fields: each gets its own clear message and makes
// no read, the table stays as it was and the button stays usable for the next try.
#include "sim/request_trace.h"
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

const QString kInvalidPort = QStringLiteral("Porta COM inválida.");
const QString kInvalidAddress = QStringLiteral("Endereço inválido.");
const QString kCompleted = QStringLiteral("Dados gravados com sucesso");

struct TypedText {
    QString typed;
    QString kept; // what the field holds after typing, its max length applied
};

class FrmMainInputFaults : public ::testing::Test {
protected:
    void SetUp() override {
        show_and_activate(form);
        add_rows(database, 3);
        before = table_contents(database);
    }

    // As the user does it: empty the field, then type key by key.
    void type_into(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        for (const QChar key : text) {
            if (key.unicode() < 0x80) {
                QTest::keyClick(field, key.toLatin1());
            } else {
                // keyClick knows only ASCII keys; a digit of another script comes as its text,
                // as from a keyboard layout or an input method.
                QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(key),
                                    Qt::NoModifier);
            }
        }
    }

    // Clicks the button with the fields as they are and checks the one message it must give.
    void expect_refused(const QString& message) {
        const auto shown_before = watcher.messages().size();
        QTest::mouseClick(c.cmdGerar, Qt::LeftButton);
        ASSERT_EQ(watcher.messages().size(), shown_before + 1);
        const auto& shown = watcher.messages().back();
        EXPECT_EQ(shown.text, message);
        EXPECT_EQ(shown.icon, QMessageBox::Warning);
        EXPECT_TRUE(shown.only_ok);
        EXPECT_TRUE(c.cmdGerar->isEnabled());
        EXPECT_TRUE(c.lblTexto->text().isEmpty()) << c.lblTexto->text().toStdString();
        EXPECT_TRUE(sim::read_trace(trace).empty()) << "the relay was read";
        EXPECT_EQ(table_contents(database), before);
    }

    // With good text again the same window downloads: nothing was left half done.
    void expect_download_works() {
        type_into(c.txtCOM, QString::number(link.number()));
        type_into(c.txtEnd, QStringLiteral("1"));
        QTest::mouseClick(c.cmdGerar, Qt::LeftButton);
        ASSERT_FALSE(watcher.messages().empty());
        EXPECT_EQ(watcher.messages().back().text, kCompleted);
        EXPECT_EQ(rows_in(database), 5);
    }

    TempDir dir;
    std::filesystem::path database = fresh_database(dir);
    std::filesystem::path trace = dir.file("trace.txt");
    SimProcess sim{{"--generate", "5", "--trace", trace.string()}};
    ComLink link{sim.pty()};
    app::frmMain form{database};
    FormControls c = controls_of(form);
    MessageBoxWatcher watcher{c.cmdGerar};
    std::string before;
};

TEST_F(FrmMainInputFaults, BadPortTextIsRefusedWithoutOpeningAPort) {
    const std::vector<TypedText> cases{
        {"", ""},
        {" ", " "},
        {"+1", "+"},
        {"-1", "-"},
        {"a", "a"},
        {"x9", "x"},
        {"0", "0"},
        {"00", "0"},
        {QString::fromUtf8("\u0663"), QString::fromUtf8("\u0663")}, // Arabic-Indic three
        {QString::fromUtf8("\uff11"), QString::fromUtf8("\uff11")}, // fullwidth one
    };
    type_into(c.txtEnd, QStringLiteral("1"));
    for (const auto& [typed, kept] : cases) {
        SCOPED_TRACE("port typed as \"" + typed.toStdString() + "\"");
        type_into(c.txtCOM, typed);
        ASSERT_EQ(c.txtCOM->text(), kept);
        expect_refused(kInvalidPort);
        EXPECT_FALSE(form.port_open());
    }
    expect_download_works();
}

TEST_F(FrmMainInputFaults, BadAddressTextIsRefusedWithoutARead) {
    const std::vector<TypedText> cases{
        {"", ""},
        {" ", " "},
        {"  ", "  "},
        {"+1", "+1"},
        {"-1", "-1"},
        {"-0", "-0"},
        {"0", "0"},
        {"00", "00"},
        {"ab", "ab"},
        {"1a", "1a"},
        {"1.", "1."},
        {"0x10", "0x"},
        {"1e2", "1e"},
        {QString::fromUtf8("\u0661\u0662"), QString::fromUtf8("\u0661\u0662")}, // Arabic-Indic 12
        {QString::fromUtf8("\uff11"), QString::fromUtf8("\uff11")},             // fullwidth one
    };
    type_into(c.txtCOM, QString::number(link.number()));
    for (const auto& [typed, kept] : cases) {
        SCOPED_TRACE("address typed as \"" + typed.toStdString() + "\"");
        type_into(c.txtEnd, typed);
        ASSERT_EQ(c.txtEnd->text(), kept);
        expect_refused(kInvalidAddress);
    }
    expect_download_works();
}

// 248 does not fit the field; what does fit (up to 99) is a good address and is used as typed.
TEST(FrmMainAddressField, TwoDigitAddressIsUsedAsTyped) {
    TempDir dir;
    const auto database = fresh_database(dir);
    const auto trace = dir.file("trace.txt");
    SimProcess sim({"--generate", "4", "--address", "99", "--trace", trace.string()});
    ComLink link(sim.pty());
    app::frmMain form{database};
    show_and_activate(form);
    const FormControls c = controls_of(form);
    MessageBoxWatcher watcher(c.cmdGerar);

    c.txtCOM->setText(QString::number(link.number()));
    c.txtEnd->setFocus();
    c.txtEnd->selectAll();
    QTest::keyClicks(c.txtEnd, QStringLiteral("248"));
    EXPECT_EQ(c.txtEnd->text(), QStringLiteral("24"));
    c.txtEnd->selectAll();
    QTest::keyClicks(c.txtEnd, QStringLiteral("99"));
    QTest::mouseClick(c.cmdGerar, Qt::LeftButton);

    ASSERT_EQ(watcher.messages().size(), 1u);
    EXPECT_EQ(watcher.messages().front().text, kCompleted);
    EXPECT_EQ(rows_in(database), 4);
    const auto requests = sim::read_trace(trace);
    ASSERT_FALSE(requests.empty());
    for (const auto& request : requests) {
        EXPECT_EQ(request.slave, 99);
    }
}

} // namespace
} // namespace zklog::test
