// Below the thesaurus on the page " 管理词库 ": the protected words (left) and
// the thesaurus check (right), side by side.
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/main_window.h"

namespace ui {

namespace {

// These lists have no commands of their own to offer on a right click.
const TPopupMenu& noMenu() {
    static const TPopupMenu menu("", {});
    return menu;
}

} // namespace

QTableView* plainList(Binder& bind, TListView& list) {
    QTableView* view = bind.list(list, noMenu(), {});
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

QWidget* MainWindow::buildThesaurusTools() {
    QGroupBox* words = m_bind.group(m_form.bskngrpbx7);
    auto* wordsLayout = new QVBoxLayout(words);
    wordsLayout->setContentsMargins(6, 2, 6, 4);
    wordsLayout->setSpacing(3);
    auto* entry = new QHBoxLayout;
    QLineEdit* word = m_bind.edit(m_form.edt9);
    entry->addWidget(word, 1);
    QPushButton* add = m_bind.button(m_form.btn16, &TForm1::btn16Click);
    QPushButton* remove = m_bind.button(m_form.btn17, &TForm1::btn17Click);
    for (QPushButton* button : {add, remove}) {
        button->setMaximumWidth(56);
        entry->addWidget(button);
    }
    wordsLayout->addLayout(entry);
    wordsLayout->addWidget(plainList(m_bind, m_form.lv3), 1);
    // Return in the edit adds the word.
    QObject::connect(word, &QLineEdit::returnPressed, add, &QPushButton::click);

    QGroupBox* check = m_bind.group(m_form.bskngrpbx8);
    auto* checkLayout = new QVBoxLayout(check);
    checkLayout->setContentsMargins(6, 2, 6, 4);
    checkLayout->setSpacing(3);
    auto* top = new QHBoxLayout;
    top->addWidget(m_bind.button(m_form.btn15, &TForm1::btn15Click));
    top->addWidget(m_bind.label(m_form.lbl24, true), 1);
    checkLayout->addLayout(top);
    QTableView* findings = plainList(m_bind, m_form.lv4);
    checkLayout->addWidget(findings, 1);
    // Choosing a finding, by mouse or keys, and choosing it again.
    QObject::connect(findings->selectionModel(), &QItemSelectionModel::selectionChanged, findings,
                     [this] { m_bind.runHandler(&TForm1::lv4SelectItem); });
    QObject::connect(findings, &QAbstractItemView::clicked, findings,
                     [this] { m_bind.runHandler(&TForm1::lv4SelectItem); });

    auto* pane = new QWidget;
    auto* layout = new QHBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(words, 2);
    layout->addWidget(check, 5);
    return pane;
}

} // namespace ui
