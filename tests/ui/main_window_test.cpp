// The real window over a started form: captions, the page shown, the list
// filled from setting.dat, the masked password, and input reaching the model.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <tuple>

#include "app/Unit1.h"
#include "net/vendor.h"
#include "support/fixtures.h"
#include "ui/main_window.h"
#include "ui_test_support.h"

namespace {

struct MainWindowTest : ::testing::Test {
    TempDir dir;
    std::unique_ptr<ScopedCwd> cwd;
    QuietQtPlatform platform;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<ui::MainWindow> window;

    void SetUp() override {
        makeDatabase(dir.path() / "setting.dat",
                     {{"美丽", "漂亮"}, {"迅速", "快速", false}, {"开心", "高兴"}});
        cwd = std::make_unique<ScopedCwd>(dir.path());
        form = std::make_unique<TForm1>(platform, FormOptions{dir.dirText(), 1});
        window = std::make_unique<ui::MainWindow>(*form);
        form->FormCreate();
        window->show();
        QCoreApplication::processEvents(); // rows and deferred refreshes reach the widgets
    }
    void TearDown() override {
        window.reset(); // before the form it draws
        form.reset();
    }
    template <class W> W* widget(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

TEST_F(MainWindowTest, StartsWithTheModelsCaptionsPageAndRows) {
    ASSERT_FALSE(platform.earlyExitCode());
    ASSERT_TRUE(platform.messages.empty());
    ASSERT_TRUE(platform.errors.empty());

    EXPECT_EQ(window->windowTitle(),
              q("澄川鹭同义词替换(伪原创)工具V2.0，加入词库共享、（本地、网络）批量伪原创。"));
    EXPECT_EQ(window->size(), QSize(844, 644));

    auto* tabs = widget<QTabWidget>("bsSkinPageControl1");
    ASSERT_EQ(tabs->count(), 6);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->tabText(0), q("\u3000旧文章\u3000"));
    EXPECT_EQ(tabs->tabText(2), q(" 管理词库 "));
    EXPECT_EQ(tabs->tabText(4), q("批量伪原创"));

    EXPECT_EQ(widget<QPushButton>("bsSkinXFormButton4")->text(), q("加载词库"));
    EXPECT_EQ(widget<QPushButton>("btn3")->text(), q("登  录"));
    EXPECT_EQ(widget<QLabel>("Label1")->text(),
              q("【提示信息】初始化完毕，您现在可以使用软件替换文章了"));
    EXPECT_EQ(widget<QLineEdit>("edt8")->text(),
              QString::fromStdString(vendor::baseAddress()) + "/post_test.asp");
    EXPECT_TRUE(widget<QPushButton>("bsSkinXFormButton5")->isHidden());

    EXPECT_EQ(widget<QLineEdit>("bsknpswrdt1")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(widget<QLineEdit>("edt2")->echoMode(), QLineEdit::Normal);

    auto* list = widget<QTableView>("listview1");
    const QAbstractItemModel* rows = list->model();
    ASSERT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(rows->headerData(1, Qt::Horizontal).toString(), q("原始词"));
    EXPECT_GE(list->columnWidth(1), 300);
    EXPECT_EQ(rows->index(1, 0).data().toString(), q("2"));
    EXPECT_EQ(rows->index(1, 1).data().toString(), q("迅速"));
    EXPECT_EQ(rows->index(1, 3).data().toString(), q("否"));
    EXPECT_EQ(rows->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    auto* gauge = widget<QProgressBar>("bsSkinGauge1");
    EXPECT_FALSE(gauge->isTextVisible());
    EXPECT_EQ(gauge->value(), gauge->maximum());
    EXPECT_EQ(gauge->height(), ui::MainWindow::kGaugeHeight);
    EXPECT_EQ(widget<QWidget>("bsSkinPanel1")->height(), ui::MainWindow::kToolPanelHeight);
    EXPECT_EQ(widget<QWebEngineView>("WebBrowser1")->height(), ui::MainWindow::kBannerHeight);
    EXPECT_EQ(widget<QWidget>("bskngrpbx2")->height(), ui::MainWindow::kLoginHeight);
}

TEST_F(MainWindowTest, InputReachesTheModelAndHandlers) {
    // Typing into an edit.
    auto* keyword = widget<QLineEdit>("edt1");
    QTest::keyClicks(keyword, q("abc"));
    EXPECT_EQ(form->edt1.text(), "abc");

    // A check mark in the list.
    auto* list = widget<QTableView>("listview1");
    list->model()->setData(list->model()->index(2, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(form->listview1.item(2).checked);

    // "全选" sets its own state before its handler checks every row.
    widget<QCheckBox>("bschck7")->click();
    EXPECT_TRUE(form->bschck7.checked());
    for (const auto& item : form->listview1.items())
        EXPECT_TRUE(item.checked);

    // Selecting a row, then "修改" from the popup menu fills the edits.
    list->selectRow(1);
    EXPECT_EQ(form->listview1.selected(), 1);
    auto* menu = list->findChild<QMenu*>(QStringLiteral("bsSkinPopupMenu2"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[2]->text(), q("使用？"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(widget<QLineEdit>("bsSkinEdit1")->text(), q("迅速"));
    EXPECT_EQ(widget<QPushButton>("bsSkinXFormButton3")->text(), q("修改"));
    EXPECT_FALSE(widget<QPushButton>("bsSkinXFormButton5")->isHidden());

    // "清空" shows page 0.
    widget<QPushButton>("bsSkinButton1")->click();
    EXPECT_EQ(form->bsSkinPageControl1.activePage(), 0);
    EXPECT_EQ(widget<QTabWidget>("bsSkinPageControl1")->currentIndex(), 0);

    // A reload refills the list view from the database.
    widget<QPushButton>("bsSkinXFormButton4")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(list->model()->rowCount(), 3);
    EXPECT_TRUE(platform.errors.empty());
}

TEST_F(MainWindowTest, TheNewArticleShowsTheReplacedWords) {
    form->Memo1.setText(g("美丽的花"));
    widget<QPushButton>("bsSkinXFormButton2")->click();
    EXPECT_EQ(widget<QLabel>("lbl22")->text(), q("原创度：100%"));
    auto* editor = widget<QPlainTextEdit>("Memo2");
    auto formats = [&] { return editor->document()->firstBlock().layout()->formats(); };
    ASSERT_TRUE(waitUntil([&] { return !formats().isEmpty(); }));
    EXPECT_EQ(formats()[0].start, 0);
    EXPECT_EQ(formats()[0].length, 2);
    // A format of the layout only: the text, and what is copied, stays plain.
    QTextCursor cursor(editor->document());
    cursor.setPosition(1);
    EXPECT_EQ(cursor.charFormat().background().style(), Qt::NoBrush);
    widget<QCheckBox>("bschck11")->click();
    EXPECT_TRUE(waitUntil([&] { return formats().isEmpty(); }));

    // "复制新文章" selects the whole new article, then copies it.
    editor->moveCursor(QTextCursor::End);
    widget<QPushButton>("bsSkinXFormButton1")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->textCursor().selectedText(), q("漂亮的花"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), q("漂亮的花"));
}

TEST_F(MainWindowTest, CharactersBeyondGbkComeThroughBothMemos) {
    // Pasted, rewritten, shown and copied: emoji, CJK extension B, Hangul.
    widget<QPlainTextEdit>("Memo1")->insertPlainText(q("😀𠮷한 美丽的花€"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->Memo1.text(), g("😀𠮷한 美丽的花€"));
    widget<QPushButton>("bsSkinXFormButton2")->click();
    EXPECT_EQ(form->Memo2.text(), g("😀𠮷한 漂亮的花€"));
    auto* editor = widget<QPlainTextEdit>("Memo2");
    EXPECT_TRUE(waitUntil([&] { return editor->toPlainText() == q("😀𠮷한 漂亮的花€"); }));
    // The mark of 漂亮 sits after two surrogate pairs, 한 and the space.
    auto formats = [&] { return editor->document()->firstBlock().layout()->formats(); };
    ASSERT_TRUE(waitUntil([&] { return !formats().isEmpty(); }));
    EXPECT_EQ(formats()[0].start, 6);
    EXPECT_EQ(formats()[0].length, 2);
}

TEST_F(MainWindowTest, FindingsAndProtectedWordsBelowTheThesaurus) {
    form->addKeyWord(g("漂亮"), g("美丽"), true, "add");
    widget<QPushButton>("btn15")->click();
    QCoreApplication::processEvents();
    auto* findings = widget<QTableView>("lv4");
    ASSERT_EQ(findings->model()->rowCount(), 1);
    EXPECT_EQ(findings->model()->index(0, 1).data().toString(), q("1,4"));
    // No check boxes in these lists; choosing the finding selects row id 4.
    EXPECT_FALSE(findings->model()->index(0, 0).data(Qt::CheckStateRole).isValid());
    findings->selectRow(0);
    EXPECT_EQ(form->listview1.selected(), 3);
    EXPECT_EQ(widget<QTableView>("listview1")->selectionModel()->selectedRows().value(0).row(), 3);

    // Return in the edit adds a protected word.
    auto* word = widget<QLineEdit>("edt9");
    form->edt9.setText(g("品牌"));
    QTest::keyClick(word, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->ProtectedWords, StringList{g("品牌")});
    EXPECT_EQ(widget<QTableView>("lv3")->model()->rowCount(), 1);
    EXPECT_TRUE(platform.errors.empty());
}

TEST_F(MainWindowTest, ReturnInThePasswordLogsIn) {
    form->edt2.setText("someone");
    form->bsknpswrdt1.setText("secret");
    const std::string before = form->lbl8.caption();
    QTest::keyClick(widget<QLineEdit>("bsknpswrdt1"), Qt::Key_Return);
    // The login went out: its answer, or its failure, is on the status label.
    EXPECT_TRUE(
        waitUntil([&] { return form->Requests.empty() && form->lbl8.caption() != before; }));
}

TEST_F(MainWindowTest, ThesaurusPageKeysSelectionAndColumns) {
    auto* list = widget<QTableView>("listview1");

    // Return in the word edits adds the pair; in the find edit, finds.
    form->bsSkinEdit1.setText(g("甲"));
    form->bsSkinEdit2.setText(g("乙"));
    QTest::keyClick(widget<QLineEdit>("bsSkinEdit2"), Qt::Key_Return);
    EXPECT_EQ(form->listview1.count(), 4);
    form->bsSkinEdit3.setText(g("开"));
    QTest::keyClick(widget<QLineEdit>("bsSkinEdit3"), Qt::Key_Return);
    EXPECT_EQ(form->listview1.selected(), 2);
    form->bsSkinEdit1.setText(g("丙"));
    QTest::keyClick(widget<QLineEdit>("bsSkinEdit1"), Qt::Key_Return);
    EXPECT_EQ(form->listview1.count(), 5);

    // Deleting the selected row in the middle: the view highlights what the
    // model has selected, nothing.
    QCoreApplication::processEvents();
    list->selectRow(1);
    form->run([&] { form->DeleteKeyWord(1, "2"); });
    EXPECT_EQ(form->listview1.selected(), -1);
    EXPECT_TRUE(list->selectionModel()->selectedRows().isEmpty());
    EXPECT_TRUE(platform.errors.empty());
}

TEST_F(MainWindowTest, BothThesaurusListsShowSixDigitNumbersAndFitThePage) {
    for (auto [page, control] : {std::pair{2, &form->listview1}, std::pair{3, &form->lv2}}) {
        SCOPED_TRACE(control->name());
        control->append({"123456", {g("甲"), g("乙"), "10001"}, false});
        form->bsSkinPageControl1.setActivePage(page);
        QCoreApplication::processEvents();
        auto* list = widget<QTableView>(control->name().c_str());
        // The number with its check box, and all four columns filling the
        // list at the default size, also once a long list adds the vertical
        // scroll bar.
        EXPECT_LE(static_cast<QAbstractItemView*>(list)->sizeHintForColumn(0),
                  list->columnWidth(0));
        for (int rows : {1, 200}) {
            while (control->count() < rows)
                control->append({std::to_string(control->count()), {"a", "b", "c"}, false});
            EXPECT_TRUE(waitUntil(
                [&] { return list->verticalScrollBar()->isVisible() == (rows > 1); }, 3000));
            EXPECT_EQ(list->horizontalHeader()->length(), list->viewport()->width());
            EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
        }
    }
}

TEST_F(MainWindowTest, WordColumnsStretchWithTheWindowAndTheOthersKeepTheirWidth) {
    auto* list = widget<QTableView>("listview1");
    auto widths = [&] {
        QCoreApplication::processEvents();
        std::vector<int> w;
        for (int c = 0; c < 4; ++c)
            w.push_back(list->columnWidth(c));
        return w;
    };
    const auto normal = widths();
    window->resize(1244, 644);
    const auto wide = widths();
    EXPECT_EQ(wide[0], normal[0]);
    EXPECT_EQ(wide[3], normal[3]);
    // The 400 pixels go to the two word columns, half each.
    EXPECT_NEAR(wide[1] - normal[1], 200, 2);
    EXPECT_NEAR(wide[2] - normal[2], 200, 2);
    EXPECT_EQ(list->horizontalHeader()->length(), list->viewport()->width());
    // Narrower than the columns' own widths: they keep them, the list scrolls.
    window->resize(1, 644);
    const auto narrow = widths();
    EXPECT_EQ(narrow, (std::vector<int>{normal[0], 300, 300, normal[3]}));
    window->resize(844, 644);
    EXPECT_EQ(widths(), normal);
}

TEST_F(MainWindowTest, SliderShowsItsNumberAndTheModelKeepsTheWindowSize) {
    auto* slider = widget<QSlider>("bsknsldr1");
    auto* number = widget<QLabel>("lbl26");
    EXPECT_EQ(number->text(), "5");
    slider->setValue(23);
    EXPECT_EQ(form->bsknsldr1.position(), 23);
    EXPECT_EQ(number->text(), "23");

    window->resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->WindowWidth, 900);
    EXPECT_EQ(form->WindowHeight, 700);
    // Both come back in the next run, the size as the window's.
    window->close();
    auto next = std::make_unique<TForm1>(platform, FormOptions{dir.dirText(), 1});
    ui::MainWindow again(*next);
    next->FormCreate();
    EXPECT_EQ(next->WindowWidth, 900);
    EXPECT_EQ(next->WindowHeight, 700);
    again.restoreSize();
    // As far as this screen (the offscreen one is small) and the layout allow.
    const QSize room = again.screen()->availableGeometry().size();
    EXPECT_EQ(again.size(), QSize(900, 700).boundedTo(room).expandedTo(again.minimumSizeHint()));
    EXPECT_EQ(next->bsknsldr1.position(), 23);
}

TEST_F(MainWindowTest, LabelsAndEditsStayReadableAtTheMinimumSize) {
    form->lbl8.setCaption(g("ID:9登录成功,您拥有积分(100)分。"));
    window->resize(1, 1); // the layouts' minimum
    const int tenCharacters = window->fontMetrics().horizontalAdvance(QString(10, QChar(0x5B57)));
    const int twelveLetters = window->fontMetrics().averageCharWidth() * 12;
    for (int page : {2, 4}) { // the thesaurus and batch pages
        form->bsSkinPageControl1.setActivePage(page);
        QCoreApplication::processEvents();
        for (auto* label : window->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty()) continue;
            EXPECT_GE(label->width(), std::min(label->sizeHint().width(), tenCharacters))
                << page << " " << label->objectName().toStdString();
        }
        for (auto* edit : window->findChildren<QLineEdit*>()) {
            if (!edit->isVisible()) continue;
            EXPECT_GE(edit->width(), std::min(edit->maximumWidth(), twelveLetters))
                << page << " " << edit->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, LongStatusAnswersShowWholeAtTheMinimumSize) {
    // Answers that name two words of 50 characters, as the server allows.
    std::string ow, nw;
    for (int i = 0; i < 50; ++i) {
        ow += g("原");
        nw += g("新");
    }
    const std::string share =
        g("共享成功：“") + ow + g("”→“") + nw + g("”已被收录，奖励10积分，您当前拥有积分(202)分。");
    const std::string download = g("【提示信息】“") + ow + g("”下载成功，扣除1积分，剩余192积分。");
    window->resize(1, 1);
    for (auto [page, control, text] :
         {std::tuple{2, &form->lbl9, share}, std::tuple{3, &form->lbl3, download}}) {
        form->bsSkinPageControl1.setActivePage(page);
        control->setCaption(text);
        QCoreApplication::processEvents();
        auto* label = widget<QLabel>(control->name().c_str());
        const QRect needed = label->fontMetrics().boundingRect(label->contentsRect(),
                                                               Qt::TextWordWrap, label->text());
        EXPECT_LE(needed.width(), label->contentsRect().width()) << control->name();
        EXPECT_LE(needed.height(), label->contentsRect().height()) << control->name();
    }
}

TEST_F(MainWindowTest, WebViewsLoadTheVendorAddresses) {
    auto* help = widget<QWebEngineView>("wb1");
    auto* banner = widget<QWebEngineView>("WebBrowser1");
    // Nothing listens on the address in the tests: the views show their error
    // page and nothing else happens.
    EXPECT_TRUE(waitUntil([&] { return !banner->url().isEmpty() && !help->url().isEmpty(); }));
    EXPECT_EQ(banner->url().toString(), QString::fromStdString(vendor::address(vendor::kBanner)));
    EXPECT_EQ(help->url().toString(), QString::fromStdString(vendor::address(vendor::kHelpPage)));
    EXPECT_TRUE(platform.errors.empty());
}

} // namespace
