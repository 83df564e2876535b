// Two-way binding of single controls: the model's setters repaint the widget,
// and the user's input goes back through the setters and the handlers.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"
#include "ui/binder.h"
#include "ui_test_support.h"

namespace {

struct BinderTest : ::testing::Test {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/tmp/", 1}};
    std::vector<std::unique_ptr<QWidget>> widgets; // destroyed after the binder
    ui::Binder bind{form};

    template <class W> W* keep(W* w) {
        widgets.emplace_back(w);
        return w;
    }
};

TEST_F(BinderTest, EditsFollowTheModelAndWriteBack) {
    auto* edit = keep(bind.edit(form.edt4));
    form.edt4.setText(g("/数据/输出"));
    EXPECT_EQ(edit->text(), q("/数据/输出"));

    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("/out"));
    // Typed Chinese text arrives as a key event carrying the text.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, q("目标"));
    QApplication::sendEvent(edit, &typed);
    EXPECT_EQ(form.edt4.text(), g("/out目标"));
    // The edit's change event ran: the link label follows the edit.
    EXPECT_EQ(form.lbl20.address(), g("/out目标"));
    // Input the model cannot keep as it is stays in the edit, cursor and undo
    // history with it.
    QInputMethodEvent commit;
    commit.setCommitString(QString(QChar(0xD800)) + q("한"));
    QApplication::sendEvent(edit, &commit);
    EXPECT_TRUE(edit->isUndoAvailable());
    edit->setCursorPosition(1);
    QTest::keyClicks(edit, QStringLiteral("x"));
    EXPECT_EQ(edit->text(), q("/xout目标") + QChar(0xD800) + q("한"));
    EXPECT_EQ(edit->cursorPosition(), 2);
    EXPECT_EQ(form.edt4.text(), ui::fromQ(edit->text()));

    auto* password = keep(bind.edit(form.bsknpswrdt1));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

TEST_F(BinderTest, MemosConvertLineBreaksBothWays) {
    auto* memo = keep(bind.memo(form.Memo1, false));
    form.Memo1.setText(g("第一行\r\n第二行\r第三行"));
    QCoreApplication::processEvents();
    EXPECT_EQ(memo->toPlainText(), q("第一行\n第二行\n第三行"));

    memo->setPlainText(q("甲\n乙"));
    EXPECT_EQ(form.Memo1.text(), g("甲\r\n乙"));

    auto* readOnly = keep(bind.memo(form.mmo1, true));
    EXPECT_TRUE(readOnly->isReadOnly());
}

TEST_F(BinderTest, TypingAndPastingKeepTheCursorAndUndo) {
    auto* memo = keep(bind.memo(form.Memo1, false));
    form.Memo1.setText(g("旧"));
    QCoreApplication::processEvents();
    memo->moveCursor(QTextCursor::End);
    // Typing through an input method, as Chinese and Korean are typed.
    auto type = [&](const QString& text) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(memo, &commit);
        QCoreApplication::processEvents();
    };
    // A lone surrogate changes on its way through the model, whatever the
    // conversion; the editor must keep what the user typed.
    const QString typed = q("ab") + QChar(0xD800) + q("한cd");
    type(typed);
    type(q("XY"));
    EXPECT_EQ(memo->toPlainText(), q("旧") + typed + q("XY"));
    EXPECT_EQ(memo->textCursor().position(), memo->toPlainText().size());
    // Pasting: the cursor stays after the pasted text.
    memo->moveCursor(QTextCursor::Start);
    memo->insertPlainText(q("粘\n贴") + QChar(0xDC00));
    QCoreApplication::processEvents();
    EXPECT_EQ(memo->textCursor().position(), 4);
    EXPECT_EQ(form.Memo1.text(), ui::memoFromQ(memo->toPlainText()));
    // The undo history is whole: undo takes the paste back.
    ASSERT_TRUE(memo->document()->isUndoAvailable());
    memo->undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(memo->toPlainText(), q("旧") + typed + q("XY"));
    EXPECT_EQ(form.Memo1.text(), ui::memoFromQ(memo->toPlainText()));
    // A command's text still reaches the editor.
    form.Memo1.setText(g("新"));
    QCoreApplication::processEvents();
    EXPECT_EQ(memo->toPlainText(), q("新"));
}

TEST_F(BinderTest, AListMarkedWhileShownKeepsItsPlaceAndTheUsersTyping) {
    auto* list = keep(bind.memo(form.mmo2, true));
    list->resize(400, 200);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += (i ? "\r\n" : "") + std::string("http://127.0.0.1:1/get_test.asp?id=") +
                std::to_string(i);
    form.mmo2.setText(text);
    QCoreApplication::processEvents();
    list->verticalScrollBar()->setValue(1000);
    QTextCursor cursor(list->document()->findBlockByNumber(1500));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
    list->setTextCursor(cursor);
    list->verticalScrollBar()->setValue(1000);

    // A marker shows without moving the view or the cursor.
    form.mmo2.appendToLine(0, "[m]");
    ASSERT_TRUE(waitUntil([&] { return list->document()->firstBlock().text().endsWith("[m]"); }));
    EXPECT_EQ(list->verticalScrollBar()->value(), 1000);
    EXPECT_EQ(list->textCursor().blockNumber(), 1500);
    EXPECT_EQ(list->textCursor().positionInBlock(), 4);

    // Typing right after a marker came keeps both.
    form.mmo2.appendToLine(1, "[m]");
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("Z"));
    QApplication::sendEvent(list, &commit);
    std::string line;
    ASSERT_TRUE(form.mmo2.line(1, line));
    EXPECT_EQ(line, "http://127.0.0.1:1/get_test.asp?id=1[m]");
    ASSERT_TRUE(form.mmo2.line(1500, line));
    EXPECT_EQ(line, "httpZ://127.0.0.1:1/get_test.asp?id=1500");
}

TEST_F(BinderTest, CheckBoxSetsItsStateBeforeTheHandler) {
    auto* all = keep(bind.check(form.bschck7, &TForm1::bschck7Click));
    form.listview1.append({"1", {"a", "b", "c"}, false});
    form.listview1.append({"2", {"d", "e", "f"}, false});
    all->click();
    EXPECT_TRUE(form.bschck7.checked());
    EXPECT_TRUE(form.listview1.item(0).checked && form.listview1.item(1).checked);
    form.bschck7.setChecked(false);
    EXPECT_FALSE(all->isChecked());
}

TEST_F(BinderTest, ButtonsLinksLabelsAndVisibility) {
    auto* cancel = keep(bind.button(form.bsSkinXFormButton5, &TForm1::bsSkinXFormButton5Click));
    EXPECT_TRUE(cancel->isHidden());
    form.bsSkinXFormButton5.setVisible(true);
    EXPECT_FALSE(cancel->isHidden());
    EXPECT_EQ(cancel->text(), q("取消修改"));

    auto* link = keep(bind.link(form.lbl6, &TForm1::lbl6Click));
    emit link->linkActivated(QStringLiteral("#"));
    ASSERT_EQ(platform.count("open"), 1);
    EXPECT_EQ(platform.calls.back().text, form.lbl6.address());

    // Status texts may come from a server: shown as they are, never as markup.
    auto* label = keep(bind.label(form.lbl9, true));
    form.lbl9.setCaption(g("<b>不是标记</b>"));
    EXPECT_EQ(label->text(), q("<b>不是标记</b>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(BinderTest, NumbersChoicesPagesAndGauge) {
    auto* slider = keep(bind.slider(form.bsknsldr1));
    EXPECT_EQ(slider->minimum(), 2);
    EXPECT_EQ(slider->maximum(), 30);
    EXPECT_EQ(slider->value(), 5);
    slider->setValue(12);
    EXPECT_EQ(form.bsknsldr1.position(), 12);

    auto* spin = keep(bind.spin(form.bsknspndt1));
    spin->setValue(7);
    EXPECT_EQ(form.bsknspndt1.value(), 7);

    auto* ids = keep(bind.radio(form.bsknrdgrp1, &TForm1::bsknrdgrp1Click));
    const auto buttons = ids->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_TRUE(buttons[2]->isChecked());
    buttons[1]->click();
    EXPECT_EQ(form.bsknrdgrp1.itemIndex(), 1);
    form.bsknrdgrp1.setItemIndex(0);
    EXPECT_TRUE(buttons[0]->isChecked());

    auto* choice = keep(bind.combo(form.cbb2));
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(choice->itemText(1), q("提取正文"));
    EXPECT_EQ(choice->currentIndex(), 0);
    choice->setCurrentIndex(2);
    EXPECT_EQ(form.cbb2.itemIndex(), 2);
    form.cbb2.setItemIndex(1);
    EXPECT_EQ(choice->currentIndex(), 1);

    auto* gauge = keep(bind.gauge(form.bsSkinGauge1));
    form.bsSkinGauge1.setMax(0); // an empty table: no busy indicator
    QCoreApplication::processEvents();
    EXPECT_GT(gauge->maximum(), gauge->minimum());
    EXPECT_EQ(gauge->value(), 0);
    form.bsSkinGauge1.setMax(40);
    form.bsSkinGauge1.setValue(10);
    QCoreApplication::processEvents();
    EXPECT_EQ(gauge->maximum(), 40);
    EXPECT_EQ(gauge->value(), 10);
}

} // namespace
