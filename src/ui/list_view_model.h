#pragma once
// A report-style list view of the window model shown in a QTableView: column 0
// carries the row caption and its check box, the other columns the sub-items.
//
// Appended rows reach the view in batches: the model counts the rows the view
// knows about and announces the rest on the next pass of the event loop, so a
// load of 100,000 rows costs a handful of view updates instead of one each.
#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>

#include "app/controls.h"

class TForm1;

namespace ui {

class ListViewModel : public QAbstractTableModel, public ListViewObserver {
    Q_OBJECT
  public:
    ListViewModel(TForm1& form, TListView& list, QObject* parent = nullptr);
    ~ListViewModel() override;

    // The view that selection, scrolling and focus requests go to.
    void attachView(QTableView* view);
    // Announces rows appended since the last flush.
    void flush();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // ListViewObserver
    void rowsReset() override;
    void rowsInserted(int first, int count) override;
    void rowsRemoved(int first, int count) override;
    void rowChanged(int row) override;
    void selectionChanged(int row) override;
    void scrolledTo(int row) override;
    void focusRequested() override;
    void repaint() override;

  private:
    void scheduleFlush();
    // Makes the view's selected row the list's (none for -1).
    void showSelection(int row);
    void viewSelectionChanged();
    // Row of the list that a view row stands for; -1 while it is being removed.
    int listRow(int viewRow) const;

    TForm1& m_form;
    TListView& m_list;
    QPointer<QTableView> m_view;
    int m_shown = 0; // rows the view knows about; never more than the list holds
    bool m_flushPending = false;
    bool m_syncingSelection = false;
    // While rows the list has already dropped are announced as removed.
    int m_removingFirst = -1;
    int m_removingCount = 0;
    // While rows the list already holds are announced as inserted.
    int m_insertingFirst = -1;
    int m_insertingCount = 0;
};

} // namespace ui
