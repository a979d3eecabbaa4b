#include "app/frm_main.h"

#include "app/form_fonts.h"
#include "download/messages.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace zklog::app {

namespace {

const QColor kBlue(0, 0, 255);

template <typename Control>
Control* place(Control* control, const char* name, const QRect& geometry) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

void paint_text_blue(QWidget* control) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Text, kBlue);
    palette.setColor(QPalette::WindowText, kBlue);
    control->setPalette(palette);
}

QLineEdit* entry_field(QWidget* parent, const char* name, const QRect& geometry, int max_length) {
    auto* edit = place(new QLineEdit(QStringLiteral("1"), parent), name, geometry);
    edit->setAlignment(Qt::AlignCenter);
    edit->setMaxLength(max_length);
    paint_text_blue(edit);
    return edit;
}

} // namespace

frmMain::frmMain(const std::filesystem::path& database_path, QWidget* parent)
    : QWidget(parent), database_(database_path), download_(link_, database_) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(download::kApplicationTitle.data(),
                                     static_cast<qsizetype>(download::kApplicationTitle.size())));
    setFont(form_font(kFormPointSize));
    setFixedSize(384, 213);
    create_controls();
    frontend_.emplace(FormControls{this, txtCOM, txtEnd, optPonteiro, cmdGerar, lblTexto},
                      [this] { return !unloaded_; });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// Created in tab order, then chained explicitly: labels take no focus, so the focusable
// controls go txtEnd, txtCOM, cmdGerar, optInteira, optPonteiro.
void frmMain::create_controls() {
    txtEnd = entry_field(this, "txtEnd", {214, 43, 25, 25}, 2);
    txtCOM = entry_field(this, "txtCOM", {214, 16, 25, 25}, 1);

    cmdGerar = place(new QPushButton(QStringLiteral("Gerar Arquivo de LOG"), this), "cmdGerar",
                     {104, 147, 169, 33});
    cmdGerar->setFont(form_font(kButtonPointSize));
    cmdGerar->setAutoDefault(false);
    connect(cmdGerar, &QPushButton::clicked, this, [this] { cmdGerar_Click(); });

    Label2 = place(new QLabel(QStringLiteral("Endereço:"), this), "Label2", {144, 46, 67, 16});
    Label1 = place(new QLabel(QStringLiteral("Porta COM:"), this), "Label1", {136, 19, 76, 16});

    lblTexto = place(new QLabel(QString(), this), "lblTexto", {8, 187, 371, 16});
    lblTexto->setAlignment(Qt::AlignCenter);
    paint_text_blue(lblTexto);

    optInteira = place(new QRadioButton(QStringLiteral("Ler Memória Inteira"), this), "optInteira",
                       {112, 88, 201, 17});
    optPonteiro = place(new QRadioButton(QStringLiteral("Ler Até o Ponteiro"), this), "optPonteiro",
                        {112, 112, 209, 17});
    auto* read_mode = new QButtonGroup(this);
    read_mode->setExclusive(true);
    read_mode->addButton(optInteira);
    read_mode->addButton(optPonteiro);
    // Tab enters the pair at the chosen mode, as users of the relay's tools expect; the arrow
    // keys still move between the two.
    for (QRadioButton* mode : {optInteira, optPonteiro}) {
        connect(mode, &QRadioButton::toggled, mode, [mode](bool checked) {
            mode->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
    }
    optInteira->setFocusPolicy(Qt::ClickFocus);
    optPonteiro->setChecked(true);

    setTabOrder(txtEnd, txtCOM);
    setTabOrder(txtCOM, cmdGerar);
    setTabOrder(cmdGerar, optInteira);
    setTabOrder(optInteira, optPonteiro);
    txtEnd->setFocus();
}

void frmMain::cmdGerar_Click() {
    // The download disables the button while it runs, but a click already queued when it did
    // could still arrive through a yield.
    if (downloading_) {
        return;
    }
    downloading_ = true;
    download_.run(*frontend_);
    downloading_ = false;
}

// A download in progress sees the window closed at its next yield and stops there; the port is
// closed here either way, once, whatever it reports.
//
// A close can also arrive while one of the window's message boxes waits for its OK: one queued
// while the download could not look at events (the pointer retries) is delivered in the box's
// own event loop, and so is a close asked for by the program or the session. The box goes with
// the window: left open it would outlive the window it speaks for and keep the program from
// ending. Every message ends the download, so it then returns as after the user's OK, with no
// further read and no further box.
void frmMain::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        link_.close_comm();
        // A file copied once the window is gone must hold every row, also when a download
        // was cut short by this close or another program holds the file open.
        (void)database_.checkpoint();
    }
    for (QMessageBox* box : findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly)) {
        box->reject();
    }
    event->accept();
}

} // namespace zklog::app
