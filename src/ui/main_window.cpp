#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "ui/banner_document.h"
#include "ui/memo_marks.h"
#include "ui/qt_text.h"

namespace ui {

MainWindow::MainWindow(TForm1& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_bind(form) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQ(TForm1::windowCaption()));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* toolPanel = buildToolPanel();
    toolPanel->setFixedHeight(kToolPanelHeight);
    layout->addWidget(toolPanel);
    layout->addSpacing(kSpacerHeight);

    m_banner = m_bind.web(form.WebBrowser1);
    m_banner->setFixedHeight(kBannerHeight);
    connect(m_banner, &QWebEngineView::loadFinished, this, &MainWindow::bannerLoaded);
    layout->addWidget(m_banner);

    QWidget* login = buildLoginGroup();
    login->setFixedHeight(kLoginHeight);
    auto* loginRow = new QHBoxLayout;
    loginRow->setContentsMargins(4, 0, 4, 0);
    loginRow->addWidget(login);
    layout->addLayout(loginRow);

    QTabWidget* tabs = m_bind.pages(form.bsSkinPageControl1,
                                    {buildArticlePage(form.Memo1), buildArticlePage(form.Memo2),
                                     buildThesaurusPage(), buildDownloadPage(), buildBatchPage(),
                                     buildHelpPage()});
    layout->addWidget(tabs, 1);

    QProgressBar* gauge = m_bind.gauge(form.bsSkinGauge1);
    gauge->setFixedHeight(kGaugeHeight);
    layout->addWidget(gauge);

    resize(kClientWidth, kClientHeight);

    // The settings the model keeps are written when they changed: checked
    // every few seconds, so a crash loses little, and at the end.
    auto* save = new QTimer(this);
    connect(save, &QTimer::timeout, this, &MainWindow::saveSettings);
    save->start(kSaveInterval);
}

MainWindow::~MainWindow() = default;

void MainWindow::restoreSize() {
    if (m_form.WindowWidth <= 0 || m_form.WindowHeight <= 0) return;
    QSize size(m_form.WindowWidth, m_form.WindowHeight);
    // A size from a larger screen is cut to this one.
    if (QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
    resize(size.expandedTo(minimumSizeHint()));
}

void MainWindow::centreOnScreen() {
    QScreen* s = screen();
    if (!s) return;
    setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry()));
}

void MainWindow::saveSettings() {
    m_form.run([this] { m_form.saveWindowSettings(); });
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A maximised or full-screen window keeps the size it will return to.
    if (isMaximized() || isFullScreen()) return;
    m_form.WindowWidth = width();
    m_form.WindowHeight = height();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveSettings();
    QWidget::closeEvent(event);
}

QWidget* MainWindow::buildToolPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QString::fromStdString(m_form.bsSkinPanel1.name()));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(6, 4, 6, 4);

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_bind.button(m_form.bsSkinXFormButton2, &TForm1::bsSkinXFormButton2Click));
    buttons->addWidget(m_bind.button(m_form.bsSkinXFormButton1, &TForm1::bsSkinXFormButton1Click));
    buttons->addWidget(m_bind.button(m_form.bsSkinButton1, &TForm1::bsSkinButton1Click));
    buttons->addSpacing(12);
    buttons->addWidget(m_bind.label(m_form.lbl22));
    buttons->addStretch(1);
    left->addLayout(buttons);
    auto* steps = new QHBoxLayout;
    steps->addWidget(m_bind.check(m_form.bschck4));
    steps->addWidget(m_bind.check(m_form.bschck1));
    steps->addWidget(m_bind.check(m_form.bschck11, &TForm1::bschck11Click));
    steps->addSpacing(12);
    steps->addWidget(m_bind.label(m_form.lbl25));
    steps->addWidget(m_bind.combo(m_form.cbb1));
    steps->addStretch(1);
    left->addLayout(steps);
    left->addWidget(m_bind.label(m_form.Label1, true));
    layout->addLayout(left, 1);

    QGroupBox* shuffle = m_bind.group(m_form.bskngrpbx1);
    auto* grid = new QGridLayout(shuffle);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(2);
    grid->addWidget(m_bind.check(m_form.bschck2), 0, 0);
    grid->addWidget(m_bind.check(m_form.bschck3), 0, 1);
    grid->addWidget(m_bind.label(m_form.lbl2), 0, 2, Qt::AlignRight);
    QSlider* frequency = m_bind.slider(m_form.bsknsldr1);
    frequency->setMinimumWidth(110);
    grid->addWidget(frequency, 0, 3);
    // The number the slider stands at, two digits wide so the slider keeps still.
    QLabel* number = m_bind.label(m_form.lbl26);
    number->setMinimumWidth(number->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(number, 0, 4);
    grid->addWidget(m_bind.label(m_form.lbl1), 1, 0);
    grid->addWidget(m_bind.edit(m_form.edt1), 1, 1, 1, 4);
    layout->addWidget(shuffle, 0, Qt::AlignRight);
    return panel;
}

QWidget* MainWindow::buildLoginGroup() {
    QGroupBox* group = m_bind.group(m_form.bskngrpbx2);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 2, 8, 4);
    row->addWidget(m_bind.label(m_form.lbl4));
    QLineEdit* account = m_bind.edit(m_form.edt2);
    account->setFixedWidth(115);
    row->addWidget(account);
    row->addSpacing(8);
    row->addWidget(m_bind.label(m_form.lbl5));
    QLineEdit* password = m_bind.edit(m_form.bsknpswrdt1);
    password->setFixedWidth(115);
    row->addWidget(password);
    row->addSpacing(8);
    QPushButton* login = m_bind.button(m_form.btn3, &TForm1::btn3Click);
    row->addWidget(login);
    // Return in the account or password edit logs in, as in any login form.
    for (QLineEdit* edit : {account, password})
        QObject::connect(edit, &QLineEdit::returnPressed, login, &QPushButton::click);
    row->addWidget(m_bind.check(m_form.bschck5));
    row->addSpacing(8);
    row->addWidget(m_bind.link(m_form.lbl6, &TForm1::lbl6Click));
    row->addWidget(m_bind.link(m_form.lbl7, &TForm1::lbl7Click));
    row->addSpacing(4);
    // The login answer with the points balance is longer than the room left
    // in the strip, so it may take two lines.
    QLabel* status = m_bind.label(m_form.lbl8, true);
    status->setWordWrap(true);
    // At the window's narrowest the status keeps room for a line of ten
    // characters instead of shrinking to nothing.
    status->setMinimumWidth(status->fontMetrics().horizontalAdvance(QString(10, QChar(0x5B57))));
    row->addWidget(status, 1);
    return group;
}

QWidget* MainWindow::buildArticlePage(TMemo& memo) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    QPlainTextEdit* editor = m_bind.memo(memo, false);
    // The new article shows the words replacement put in.
    if (&memo == &m_form.Memo2) new MemoMarks(memo, editor);
    layout->addWidget(editor);
    return page;
}

QWidget* MainWindow::buildHelpPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bind.web(m_form.wb1));
    return page;
}

void MainWindow::bannerLoaded() {
    // Runs for error pages too; the script leaves a page without a body alone.
    ScriptedBannerDocument document;
    m_form.run([&] { m_form.WebBrowser1DocumentComplete(document); });
    document.applyTo(*m_banner->page());
}

} // namespace ui
