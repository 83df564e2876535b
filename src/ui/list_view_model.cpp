#include "ui/list_view_model.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "app/Unit1.h"
#include "ui/qt_text.h"

namespace ui {

ListViewModel::ListViewModel(TForm1& form, TListView& list, QObject* parent)
    : QAbstractTableModel(parent), m_form(form), m_list(list), m_shown(list.count()) {
    m_list.setListObserver(this);
}

ListViewModel::~ListViewModel() {
    m_list.setListObserver(nullptr);
}

void ListViewModel::attachView(QTableView* view) {
    m_view = view;
    view->setModel(this);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListViewModel::viewSelectionChanged);
}

void ListViewModel::flush() {
    m_flushPending = false;
    const int total = m_list.count();
    if (total <= m_shown) return;
    beginInsertRows({}, m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

void ListViewModel::scheduleFlush() {
    if (m_flushPending) return;
    m_flushPending = true;
    QMetaObject::invokeMethod(this, &ListViewModel::flush, Qt::QueuedConnection);
}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_list.columns().size());
}

int ListViewModel::listRow(int viewRow) const {
    if (m_insertingFirst >= 0 && viewRow >= m_insertingFirst) return viewRow + m_insertingCount;
    if (m_removingFirst < 0 || viewRow < m_removingFirst) return viewRow;
    if (viewRow < m_removingFirst + m_removingCount) return -1;
    return viewRow - m_removingCount;
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = listRow(index.row());
    if (row < 0 || row >= m_list.count()) return {};
    const ListItem& item = m_list.item(row);
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        if (column == 0) return toQ(item.caption);
        const auto sub = static_cast<size_t>(column - 1);
        return sub < item.subItems.size() ? toQ(item.subItems[sub]) : QString();
    }
    case Qt::CheckStateRole:
        if (column == 0 && m_list.checkBoxes()) return item.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole: {
        const auto& columns = m_list.columns();
        const bool centred = static_cast<size_t>(column) < columns.size() &&
                             columns[static_cast<size_t>(column)].centred;
        return QVariant::fromValue(centred ? Qt::Alignment(Qt::AlignCenter)
                                           : Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    const int row = listRow(index.row());
    if (row < 0 || row >= m_list.count()) return false;
    const bool checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    m_form.run([&] { m_list.setChecked(row, checked); });
    return true;
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && m_list.checkBoxes()) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        static_cast<size_t>(section) >= m_list.columns().size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const ListColumn& column = m_list.columns()[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return toQ(column.caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.centred ? Qt::Alignment(Qt::AlignCenter)
                                                  : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void ListViewModel::rowsReset() {
    // The list has already settled its selected row; the view's own
    // notifications about dropped rows must not be written back to it.
    m_syncingSelection = true;
    beginResetModel();
    m_shown = m_list.count();
    m_removingFirst = -1;
    m_insertingFirst = -1;
    endResetModel();
    m_syncingSelection = false;
}

void ListViewModel::rowsInserted(int first, int count) {
    // Rows after the shown ones wait for the next flush; a row inserted among
    // the shown ones must reach the view at once so the rows stay aligned.
    if (first >= m_shown || count <= 0) {
        scheduleFlush();
        return;
    }
    m_syncingSelection = true;
    m_insertingFirst = first;
    m_insertingCount = count;
    beginInsertRows({}, first, first + count - 1);
    m_shown += count;
    m_insertingFirst = -1;
    endInsertRows();
    m_syncingSelection = false;
}

void ListViewModel::rowsRemoved(int first, int count) {
    // Rows not yet shown simply never get announced.
    if (first >= m_shown || count <= 0) return;
    const int shownRemoved = std::min(count, m_shown - first);
    m_syncingSelection = true;
    m_removingFirst = first;
    m_removingCount = count;
    beginRemoveRows({}, first, first + shownRemoved - 1);
    m_shown -= shownRemoved;
    m_removingFirst = -1;
    endRemoveRows();
    // Losing its selected row makes the view select the next one, which the
    // list does not; the view must show the list's selection, or the popup
    // commands would do nothing on the row that looks selected.
    showSelection(m_list.selected());
    m_syncingSelection = false;
}

void ListViewModel::rowChanged(int row) {
    if (row < 0 || row >= m_shown) return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void ListViewModel::selectionChanged(int row) {
    flush();
    const bool wasSyncing = m_syncingSelection;
    m_syncingSelection = true;
    showSelection(row);
    m_syncingSelection = wasSyncing;
}

void ListViewModel::showSelection(int row) {
    if (!m_view) return;
    auto* selection = m_view->selectionModel();
    if (row < 0 || row >= m_shown) {
        selection->clear();
    } else {
        selection->setCurrentIndex(index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void ListViewModel::scrolledTo(int row) {
    flush();
    if (m_view && row >= 0 && row < m_shown)
        m_view->scrollTo(index(row, 0), QAbstractItemView::EnsureVisible);
}

void ListViewModel::focusRequested() {
    if (m_view) m_view->setFocus();
}

void ListViewModel::repaint() {
    flush();
    if (m_shown > 0) emit dataChanged(index(0, 0), index(m_shown - 1, columnCount() - 1));
}

void ListViewModel::viewSelectionChanged() {
    if (m_syncingSelection || !m_view) return;
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    if (row == m_list.selected()) return;
    m_form.run([&] { m_list.setSelected(row); });
}

} // namespace ui
