// The window as it first appears, and a start-up without a usable database.
#include "app/font_fallback.h"
#include "app/load_form.h"
#include "tests/app/form_test_support.h"
#include "tests/app/message_box_watcher.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zklog::test {
namespace {

const QColor kBlue(0, 0, 255);

class FrmMainStartup : public ::testing::Test {
protected:
    TempDir dir;
    app::frmMain form{fresh_database(dir)};
    FormControls c = controls_of(form);
};

TEST_F(FrmMainStartup, CaptionAndFixedSize) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("LOG do ZKA / ZKB"));
    EXPECT_EQ(form.size(), QSize(384, 213));
    EXPECT_EQ(form.minimumSize(), QSize(384, 213));
    EXPECT_EQ(form.maximumSize(), QSize(384, 213));
    EXPECT_EQ(form.objectName(), QStringLiteral("frmMain"));
}

TEST_F(FrmMainStartup, ControlTextsAndChoices) {
    EXPECT_EQ(c.Label1->text(), QStringLiteral("Porta COM:"));
    EXPECT_EQ(c.Label2->text(), QStringLiteral("Endereço:"));
    EXPECT_EQ(c.txtCOM->text(), QStringLiteral("1"));
    EXPECT_EQ(c.txtEnd->text(), QStringLiteral("1"));
    EXPECT_EQ(c.optInteira->text(), QStringLiteral("Ler Memória Inteira"));
    EXPECT_EQ(c.optPonteiro->text(), QStringLiteral("Ler Até o Ponteiro"));
    EXPECT_EQ(c.cmdGerar->text(), QStringLiteral("Gerar Arquivo de LOG"));
    EXPECT_TRUE(c.lblTexto->text().isEmpty());
    EXPECT_FALSE(c.optInteira->isChecked());
    EXPECT_TRUE(c.optPonteiro->isChecked());
    EXPECT_TRUE(c.cmdGerar->isEnabled());
}

TEST_F(FrmMainStartup, ReadModesFormOneGroup) {
    show_and_activate(form);
    QTest::mouseClick(c.optInteira, Qt::LeftButton);
    EXPECT_TRUE(c.optInteira->isChecked());
    EXPECT_FALSE(c.optPonteiro->isChecked());
    QTest::mouseClick(c.optPonteiro, Qt::LeftButton);
    EXPECT_FALSE(c.optInteira->isChecked());
    EXPECT_TRUE(c.optPonteiro->isChecked());
    // Clicking the chosen one again must not leave neither chosen.
    QTest::mouseClick(c.optPonteiro, Qt::LeftButton);
    EXPECT_TRUE(c.optPonteiro->isChecked());
}

TEST_F(FrmMainStartup, ControlGeometry) {
    EXPECT_EQ(c.Label1->geometry(), QRect(136, 19, 76, 16));
    EXPECT_EQ(c.txtCOM->geometry(), QRect(214, 16, 25, 25));
    EXPECT_EQ(c.Label2->geometry(), QRect(144, 46, 67, 16));
    EXPECT_EQ(c.txtEnd->geometry(), QRect(214, 43, 25, 25));
    EXPECT_EQ(c.optInteira->geometry(), QRect(112, 88, 201, 17));
    EXPECT_EQ(c.optPonteiro->geometry(), QRect(112, 112, 209, 17));
    EXPECT_EQ(c.cmdGerar->geometry(), QRect(104, 147, 169, 33));
    EXPECT_EQ(c.lblTexto->geometry(), QRect(8, 187, 371, 16));
}

TEST_F(FrmMainStartup, EntryFieldsAndStatusLook) {
    EXPECT_EQ(c.txtCOM->maxLength(), 1);
    EXPECT_EQ(c.txtEnd->maxLength(), 2);
    EXPECT_EQ(c.txtCOM->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(c.txtEnd->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(c.lblTexto->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(c.txtCOM->palette().color(QPalette::Text), kBlue);
    EXPECT_EQ(c.txtEnd->palette().color(QPalette::Text), kBlue);
    EXPECT_EQ(c.lblTexto->palette().color(QPalette::WindowText), kBlue);
    // The captions keep the ordinary text colour.
    EXPECT_NE(c.Label1->palette().color(QPalette::WindowText), kBlue);
}

TEST_F(FrmMainStartup, Fonts) {
    for (QWidget* w : std::vector<QWidget*>{c.Label1, c.txtCOM, c.Label2, c.txtEnd, c.optInteira,
                                            c.optPonteiro, c.lblTexto}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(w->font().families().value(0), QStringLiteral("Verdana"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 9.75);
        EXPECT_EQ(w->font().weight(), QFont::Normal);
        EXPECT_FALSE(w->font().italic());
    }
    EXPECT_EQ(c.cmdGerar->font().families().value(0), QStringLiteral("Verdana"));
    EXPECT_DOUBLE_EQ(c.cmdGerar->font().pointSizeF(), 9.0);
    // The face drawn is Verdana where it is installed, else the first installed fallback: an
    // installed, proportional face, not whatever the font configuration substitutes for an
    // unknown name.
    // The system face may be named by an alias, which resolves to the face the system draws.
    QString expected = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    const QStringList faces = QStringList{QStringLiteral("Verdana")} + app::fallback_faces();
    for (auto face = faces.rbegin(); face != faces.rend(); ++face) {
        if (QFontDatabase::hasFamily(*face)) {
            expected = QFontInfo(QFont(*face)).family();
        }
    }
    for (QWidget* w : std::vector<QWidget*>{c.lblTexto, c.cmdGerar}) {
        SCOPED_TRACE(w->objectName().toStdString());
        const QFontInfo drawn(w->font());
        EXPECT_EQ(drawn.family(), expected);
        EXPECT_TRUE(QFontDatabase::families().contains(drawn.family()));
        EXPECT_FALSE(drawn.fixedPitch());
    }
}

// Whatever face is drawn, every caption fits its control whole: the layout is Verdana's, and a
// wider fallback would cut the colon of "Porta COM:".
TEST_F(FrmMainStartup, CaptionsFitTheirControls) {
    for (QLabel* label : {c.Label1, c.Label2}) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                  label->contentsRect().width());
    }
    for (QRadioButton* mode : {c.optInteira, c.optPonteiro}) {
        SCOPED_TRACE(mode->text().toStdString());
        EXPECT_LE(mode->sizeHint().width(), mode->width());
    }
    EXPECT_LE(QFontMetrics(c.cmdGerar->font()).horizontalAdvance(c.cmdGerar->text()),
              c.cmdGerar->width() - 8);
    // The field's digit fits the field's height with its frame.
    for (QLineEdit* field : {c.txtCOM, c.txtEnd}) {
        SCOPED_TRACE(field->objectName().toStdString());
        EXPECT_LE(field->sizeHint().height(), field->height() + 2);
    }
}

TEST_F(FrmMainStartup, FocusStartsInAddressAndTabFollowsTabIndex) {
    show_and_activate(form);
    ASSERT_EQ(QApplication::focusWidget(), c.txtEnd);

    std::vector<std::string> visited;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited.push_back(focus->objectName().toStdString());
    }
    // Tab enters the read modes only at the chosen one.
    EXPECT_EQ(visited,
              (std::vector<std::string>{"txtCOM", "cmdGerar", "optPonteiro", "txtEnd", "txtCOM"}));
}

TEST_F(FrmMainStartup, TabEntersReadModesAtTheChosenOneAndArrowsMoveBetweenThem) {
    show_and_activate(form);
    QTest::mouseClick(c.optInteira, Qt::LeftButton);
    c.cmdGerar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(c.cmdGerar, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), c.optInteira);
    QTest::keyClick(c.optInteira, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), c.txtEnd);

    c.optInteira->setFocus(Qt::TabFocusReason);
    QTest::keyClick(c.optInteira, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), c.optPonteiro);
    EXPECT_TRUE(c.optPonteiro->isChecked());
    QTest::keyClick(c.optPonteiro, Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), c.optInteira);
    EXPECT_TRUE(c.optInteira->isChecked());
}

TEST_F(FrmMainStartup, FocusChainOrder) {
    std::vector<std::string> chain;
    QWidget* w = c.txtEnd;
    for (int i = 0; i < 5; ++i) {
        chain.push_back(w->objectName().toStdString());
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::ClickFocus) && w != c.txtEnd) {
            w = w->nextInFocusChain();
        }
    }
    EXPECT_EQ(chain, (std::vector<std::string>{"txtEnd", "txtCOM", "cmdGerar", "optInteira",
                                               "optPonteiro"}));
    EXPECT_EQ(c.Label1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(c.lblTexto->focusPolicy(), Qt::NoFocus);
}

// Closed before any download: the close is taken and no window is left to keep the program
// running.
TEST_F(FrmMainStartup, CloseWithoutADownloadEndsTheWindow) {
    show_and_activate(form);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << widget->objectName().toStdString();
    }
}

// Where a control sits, in the picture of the window.
QImage part_of(const QImage& picture, const QRect& where) {
    const qreal scale = picture.devicePixelRatio();
    return picture.copy(QRect((QPointF(where.topLeft()) * scale).toPoint(),
                              (QSizeF(where.size()) * scale).toSize()));
}

// The colours in `picture`, each once.
QSet<QRgb> colours_in(const QImage& picture) {
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            colours.insert(picture.pixel(x, y));
        }
    }
    return colours;
}

// The window as drawn: its size, and every caption and field really painted, the entry texts in
// blue. A blank picture or a control drawn nowhere fails.
TEST_F(FrmMainStartup, PictureShowsEveryControl) {
    show_and_activate(form);
    const QImage picture = form.grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ((QSizeF(picture.size()) / picture.devicePixelRatio()).toSize(), QSize(384, 213));

    const QRgb background = picture.pixel(1, 1);
    for (QWidget* w : std::vector<QWidget*>{c.Label1, c.txtCOM, c.Label2, c.txtEnd, c.optInteira,
                                            c.optPonteiro, c.cmdGerar}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_GE(colours_in(part_of(picture, w->geometry())).size(), 2) << "nothing drawn there";
    }
    // The fields' "1" is drawn in blue: some pixel there is much bluer than it is red or green.
    for (QLineEdit* field : {c.txtCOM, c.txtEnd}) {
        SCOPED_TRACE(field->objectName().toStdString());
        bool blue_seen = false;
        for (const QRgb pixel : colours_in(part_of(picture, field->geometry()))) {
            blue_seen =
                blue_seen || (qBlue(pixel) > 150 && qRed(pixel) < 100 && qGreen(pixel) < 100);
        }
        EXPECT_TRUE(blue_seen);
    }
    // The status line is empty at start: nothing but its background.
    EXPECT_EQ(colours_in(part_of(picture, c.lblTexto->geometry())), QSet<QRgb>{background});
}

// What the engine says when it cannot open `path` read-write.
std::string engine_text(const std::filesystem::path& path) {
    try {
        SQLite::Database db(path.string(), SQLite::OPEN_READWRITE);
        db.exec("SELECT 1 FROM LOG");
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

TEST(FrmMainLoad, MissingDatabaseIsReportedAndNoWindowMade) {
    TempDir dir;
    const auto missing = dir.file("LOG_ZKA_ZKB.db");
    MessageBoxWatcher watcher;
    const auto form = app::load_main_form(missing);

    EXPECT_EQ(form, nullptr);
    ASSERT_EQ(watcher.messages().size(), 1u);
    const auto& shown = watcher.messages().front();
    const std::string expected = engine_text(missing);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(shown.text.toStdString(), expected);
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
    EXPECT_EQ(shown.title, QStringLiteral("LOG do ZKA / ZKB"));
    EXPECT_TRUE(shown.only_ok);
    EXPECT_FALSE(std::filesystem::exists(missing)) << "the load must not create the file";
}

TEST(FrmMainLoad, DatabaseWithoutTableIsReported) {
    TempDir dir;
    const auto path = dir.file("LOG_ZKA_ZKB.db");
    {
        SQLite::Database db(path.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("CREATE TABLE OTHER (x INTEGER)");
    }
    MessageBoxWatcher watcher;
    const auto form = app::load_main_form(path);

    EXPECT_EQ(form, nullptr);
    ASSERT_EQ(watcher.messages().size(), 1u);
    EXPECT_NE(watcher.messages().front().text.indexOf(QStringLiteral("LOG")), -1)
        << watcher.messages().front().text.toStdString();
}

TEST(FrmMainLoad, GoodDatabaseGivesTheWindowSilently) {
    TempDir dir;
    MessageBoxWatcher watcher;
    const auto form = app::load_main_form(fresh_database(dir));
    EXPECT_NE(form, nullptr);
    EXPECT_TRUE(watcher.messages().empty());
}

} // namespace
} // namespace zklog::test
