// The page "批量伪原创": the download list and the local source directory side
// by side above the submission settings, split by movable splitters.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/main_window.h"

namespace ui {

namespace {
QVBoxLayout* groupLayout(QGroupBox* group) {
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(3);
    return layout;
}
} // namespace

QWidget* MainWindow::buildBatchPage() {
    // Group "网络下载列表": the address pattern, the number range and the list.
    QGroupBox* download = m_bind.group(m_form.bskngrpbx6);
    QVBoxLayout* downloadLayout = groupLayout(download);
    auto* pattern = new QHBoxLayout;
    pattern->addWidget(m_bind.label(m_form.lbl15));
    pattern->addWidget(m_bind.edit(m_form.edt5), 1);
    downloadLayout->addLayout(pattern);
    auto* range = new QHBoxLayout;
    range->addWidget(m_bind.label(m_form.lbl16));
    // The number range takes integers only, wide enough for eight digits.
    QLineEdit* from = m_bind.edit(m_form.edt6);
    from->setValidator(new QIntValidator(from));
    const int numberWidth = from->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12;
    from->setFixedWidth(numberWidth);
    range->addWidget(from);
    range->addWidget(m_bind.label(m_form.lbl13));
    QLineEdit* to = m_bind.edit(m_form.edt7);
    to->setValidator(new QIntValidator(to));
    to->setFixedWidth(numberWidth);
    range->addWidget(to);
    range->addWidget(m_bind.check(m_form.bschck8));
    range->addWidget(m_bind.check(m_form.bschck9));
    range->addWidget(m_bind.label(m_form.lbl14));
    range->addStretch(1);
    range->addWidget(m_bind.button(m_form.btn14, &TForm1::btn14Click));
    range->addWidget(m_bind.button(m_form.btn12, &TForm1::btn12Click));
    downloadLayout->addLayout(range);
    downloadLayout->addWidget(m_bind.memo(m_form.mmo2, true), 1);

    // Group "本地源目录": the source directory and the files found in it.
    QGroupBox* source = m_bind.group(m_form.bskngrpbx5);
    QVBoxLayout* sourceLayout = groupLayout(source);
    auto* sourceDir = new QHBoxLayout;
    // The splitter gives the download list the room first; the folder stays
    // readable at the window's narrowest.
    QLineEdit* sourceEdit = m_bind.edit(m_form.edt3);
    sourceEdit->setMinimumWidth(sourceEdit->fontMetrics().averageCharWidth() * 20);
    sourceDir->addWidget(sourceEdit, 1);
    sourceDir->addWidget(m_bind.button(m_form.btn9, &TForm1::btn9Click));
    sourceLayout->addLayout(sourceDir);
    QLabel* hint = m_bind.label(m_form.lbl12);
    hint->setWordWrap(true);
    sourceLayout->addWidget(hint);
    sourceLayout->addWidget(m_bind.memo(m_form.mmo1, true), 1);

    auto* upper = new QSplitter(Qt::Horizontal);
    upper->setChildrenCollapsible(false);
    upper->addWidget(download);
    upper->addWidget(source);
    upper->setStretchFactor(0, 1);
    upper->setStretchFactor(1, 1);
    upper->setSizes({500, 330});

    // Group "数据提交设置": target directory, submission address, source,
    // target and ID mode, the run button with the choice "网页" and the
    // status line.
    QGroupBox* submit = m_bind.group(m_form.bskngrpbx4);
    auto* submitLayout = new QHBoxLayout(submit);
    submitLayout->setContentsMargins(6, 2, 6, 4);
    auto* settings = new QGridLayout;
    settings->setVerticalSpacing(3);
    settings->addWidget(m_bind.label(m_form.lbl17), 0, 0);
    settings->addWidget(m_bind.edit(m_form.edt4), 0, 1);
    settings->addWidget(m_bind.button(m_form.btn10, &TForm1::btn10Click), 0, 2);
    settings->addWidget(m_bind.link(m_form.lbl20, &TForm1::lbl20Click), 0, 3);
    settings->addWidget(m_bind.label(m_form.lbl18), 1, 0);
    settings->addWidget(m_bind.edit(m_form.edt8), 1, 1);
    settings->addWidget(m_bind.button(m_form.btn13, &TForm1::btn13Click), 1, 2);
    settings->addWidget(m_bind.link(m_form.lbl21, &TForm1::lbl21Click), 1, 3);
    settings->setColumnStretch(1, 1);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    left->addLayout(settings);
    auto* choices = new QHBoxLayout;
    choices->addWidget(m_bind.radio(m_form.bsknrdgrp2, &TForm1::bsknrdgrp2Click));
    choices->addWidget(m_bind.radio(m_form.bsknrdgrp3));
    left->addLayout(choices);
    auto* run = new QHBoxLayout;
    run->addWidget(m_bind.button(m_form.btn11, &TForm1::btn11Click));
    run->addSpacing(8);
    run->addWidget(m_bind.label(m_form.lbl27));
    run->addWidget(m_bind.combo(m_form.cbb2));
    run->addSpacing(8);
    run->addWidget(m_bind.button(m_form.btn18, &TForm1::btn18Click));
    run->addWidget(m_bind.button(m_form.btn19, &TForm1::btn19Click));
    run->addStretch(1);
    run->addWidget(m_bind.label(m_form.lbl23)); // average originality of the last run
    left->addLayout(run);
    // The status has a line of its own, wrapped: a run's summary names its
    // first failure, which must not be cut off.
    QLabel* status = m_bind.label(m_form.lbl19, true);
    status->setWordWrap(true);
    left->addWidget(status);
    // The items the last run could not do, each with its reason; shown when
    // there are any.
    QTableView* failures = plainList(m_bind, m_form.lv5);
    failures->setMinimumHeight(failures->fontMetrics().height() * 5);
    failures->setMaximumHeight(failures->fontMetrics().height() * 9);
    left->addWidget(failures);
    submitLayout->addLayout(left, 1);
    submitLayout->addWidget(m_bind.radio(m_form.bsknrdgrp1, &TForm1::bsknrdgrp1Click));

    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    split->addWidget(upper);
    split->addWidget(submit);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(split);
    return page;
}

} // namespace ui
