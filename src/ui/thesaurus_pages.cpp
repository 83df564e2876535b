// The pages " 管理词库 " (local thesaurus) and " 词库下载 " (shared thesaurus):
// a strip of controls above a list view that fills the rest of the page.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/main_window.h"

namespace ui {

namespace {
// The status lines of the two pages show server answers and messages that
// name words of up to 50 characters: a long one takes a second line (the
// list below gives up the room) instead of being cut off.
QLabel* wrapped(QLabel* status) {
    status->setWordWrap(true);
    return status;
}
} // namespace

QWidget* MainWindow::buildThesaurusPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    auto* first = new QHBoxLayout;
    first->addWidget(m_bind.label(m_form.bsSkinStdLabel2));
    QLineEdit* ow = m_bind.edit(m_form.bsSkinEdit1);
    ow->setFixedWidth(150);
    first->addWidget(ow);
    first->addWidget(m_bind.check(m_form.bsSkinCheckRadioBox2));
    first->addWidget(m_bind.check(m_form.bschck10));
    first->addSpacing(8);
    first->addWidget(m_bind.label(m_form.bsSkinStdLabel1, true), 1);
    first->addWidget(m_bind.button(m_form.bsSkinXFormButton4, &TForm1::bsSkinXFormButton4Click));
    layout->addLayout(first);

    auto* second = new QHBoxLayout;
    second->addWidget(m_bind.label(m_form.bsSkinStdLabel3));
    QLineEdit* nw = m_bind.edit(m_form.bsSkinEdit2);
    nw->setFixedWidth(150);
    second->addWidget(nw);
    QPushButton* addOrSave =
        m_bind.button(m_form.bsSkinXFormButton3, &TForm1::bsSkinXFormButton3Click);
    second->addWidget(addOrSave);
    second->addWidget(m_bind.button(m_form.bsSkinXFormButton5, &TForm1::bsSkinXFormButton5Click));
    second->addSpacing(8);
    QLineEdit* find = m_bind.edit(m_form.bsSkinEdit3);
    find->setFixedWidth(120);
    second->addWidget(find);
    QPushButton* findButton =
        m_bind.button(m_form.bsSkinXFormButton6, &TForm1::bsSkinXFormButton6Click);
    second->addWidget(findButton);
    second->addStretch(1);
    second->addWidget(m_bind.button(m_form.btn20, &TForm1::btn20Click));
    second->addWidget(m_bind.button(m_form.btn6, &TForm1::btn6Click));
    layout->addLayout(second);
    // Return in a word edit adds (or saves) the pair; in the find edit, finds.
    for (QLineEdit* word : {ow, nw})
        QObject::connect(word, &QLineEdit::returnPressed, addOrSave, &QPushButton::click);
    QObject::connect(find, &QLineEdit::returnPressed, findButton, &QPushButton::click);

    auto* third = new QHBoxLayout;
    third->addWidget(m_bind.check(m_form.bschck7, &TForm1::bschck7Click));
    third->addWidget(wrapped(m_bind.label(m_form.lbl9, true)), 1);
    third->addWidget(m_bind.label(m_form.lbl11));
    third->addWidget(m_bind.button(m_form.btn8, &TForm1::btn8Click));
    layout->addLayout(third);

    // The thesaurus keeps most of the page; the tools below it can be dragged
    // taller, or out of the way.
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(m_bind.list(m_form.listview1, m_form.bsSkinPopupMenu2,
                                 {{"N1", &TForm1::N1Click},
                                  {"N2", &TForm1::N2Click},
                                  {"N3", &TForm1::N3Click},
                                  {"N6", &TForm1::N6Click}}));
    split->addWidget(buildThesaurusTools());
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setCollapsible(0, false);
    split->setSizes({1000, 125});
    layout->addWidget(split, 1);
    return page;
}

QWidget* MainWindow::buildDownloadPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    auto* first = new QHBoxLayout;
    first->addWidget(m_bind.button(m_form.btn1, &TForm1::btn1Click));
    first->addWidget(m_bind.button(m_form.btn4, &TForm1::btn4Click));
    first->addWidget(m_bind.button(m_form.btn5, &TForm1::btn5Click));
    QSpinBox* pageNumber = m_bind.spin(m_form.bsknspndt1);
    pageNumber->setFixedWidth(70);
    first->addWidget(pageNumber);
    first->addWidget(m_bind.button(m_form.btn7, &TForm1::btn7Click));
    first->addSpacing(8);
    first->addWidget(m_bind.label(m_form.lbl10, true), 1);
    first->addWidget(m_bind.button(m_form.btn2, &TForm1::btn2Click));
    layout->addLayout(first);

    auto* second = new QHBoxLayout;
    second->addWidget(m_bind.check(m_form.bschck6, &TForm1::bschck6Click));
    second->addWidget(wrapped(m_bind.label(m_form.lbl3, true)), 1);
    layout->addLayout(second);

    layout->addWidget(
        m_bind.list(m_form.lv2, m_form.bsknpmn1,
                    {{"N4", &TForm1::N4Click}, {"N5", &TForm1::N5Click}, {"N7", &TForm1::N7Click}}),
        1);
    return page;
}

} // namespace ui
