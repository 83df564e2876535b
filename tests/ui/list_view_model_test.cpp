// The list view's table model: appended rows reach the view in batches, and
// removals, resets, check marks and the selected row stay consistent between
// the model's list and the Qt view (checked by QAbstractItemModelTester).
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"
#include "ui/list_view_model.h"
#include "ui_test_support.h"

namespace {

QStringList g_modelWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) g_modelWarnings << message;
}

struct ListViewModelTest : ::testing::Test {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/tmp/", 1}};
    TListView& list = form.listview1;
    QTableView view;
    ui::ListViewModel* model = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QtMessageHandler previousHandler = nullptr;

    void SetUp() override {
        g_modelWarnings.clear();
        previousHandler = qInstallMessageHandler(collectWarnings);
        model = new ui::ListViewModel(form, list, &view);
        model->attachView(&view);
        tester = std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    void TearDown() override {
        tester.reset();
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(g_modelWarnings.isEmpty()) << g_modelWarnings.join('\n').toStdString();
    }
    void append(int n, int from = 0) {
        for (int i = from; i < from + n; ++i)
            list.append({std::to_string(i), {"ow" + std::to_string(i), "nw", g("是")}, false});
    }
    // The view shows the list's rows in order: all of them, or a leading part
    // while appended rows wait for the event loop.
    void expectSameRows(bool all = true) {
        if (all) {
            ASSERT_EQ(model->rowCount(), list.count());
        }
        ASSERT_LE(model->rowCount(), list.count());
        for (int r = 0; r < model->rowCount(); ++r)
            EXPECT_EQ(model->index(r, 0).data().toString().toStdString(), list.item(r).caption)
                << r;
    }
};

TEST_F(ListViewModelTest, ManyAppendsReachTheViewInOneInsertion) {
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    append(5000);
    EXPECT_EQ(model->rowCount(), 0); // not yet announced
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted.count(), 1);
    expectSameRows();
    EXPECT_EQ(model->index(7, 1).data().toString(), q("ow7"));
    EXPECT_EQ(model->index(7, 3).data().toString(), q("是"));
    EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), q("是否使用"));
    EXPECT_EQ(model->index(7, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
}

TEST_F(ListViewModelTest, RemovalsAndResetBetweenAppendsStayConsistent) {
    append(6);
    QCoreApplication::processEvents();
    append(3, 6);   // rows 6..8 not yet shown
    list.remove(1); // a shown row
    list.remove(7); // a row not yet shown
    list.remove(4); // a shown row again
    expectSameRows(false);
    EXPECT_EQ(model->rowCount(), 4);
    QCoreApplication::processEvents();
    expectSameRows();

    list.clear();
    EXPECT_EQ(model->rowCount(), 0);
    append(2);
    QCoreApplication::processEvents();
    expectSameRows();
}

TEST_F(ListViewModelTest, CheckMarksAndSelectionGoBothWays) {
    append(4);
    QCoreApplication::processEvents();

    // User's check mark -> model; model's check marks -> view.
    EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model->flags(model->index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model->setData(model->index(2, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(list.item(2).checked);
    list.setAllChecked(false);
    EXPECT_EQ(model->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    // User's selection -> model.
    view.selectRow(3);
    EXPECT_EQ(list.selected(), 3);
    // Model's selection -> view, also for a row appended a moment ago.
    append(1, 4);
    list.setSelected(4);
    ASSERT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view.selectionModel()->selectedRows().first().row(), 4);

    // Removing a row above the selection shifts it in both.
    list.remove(0);
    EXPECT_EQ(list.selected(), 3);
    ASSERT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view.selectionModel()->selectedRows().first().row(), 3);
    // A row inserted above the selection shifts it in both.
    list.insert(1, {"new", {"x", "y", g("否")}, false});
    EXPECT_EQ(list.selected(), 4);
    ASSERT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view.selectionModel()->selectedRows().first().row(), 4);
    expectSameRows();
    // Removing the selected row leaves nothing selected.
    list.remove(4);
    EXPECT_EQ(list.selected(), -1);
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());
    expectSameRows();
}

} // namespace
