#include "ui/column_stretch.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

namespace ui {

ColumnStretch::ColumnStretch(QTableView* view, std::vector<int> widths, std::vector<bool> stretch)
    : QObject(view), m_view(view), m_widths(std::move(widths)), m_stretch(std::move(stretch)) {
    m_stretch.resize(m_widths.size(), false);
    // The viewport's width is what the columns share: it changes with the
    // window and when the vertical scroll bar comes or goes.
    view->viewport()->installEventFilter(this);
    fit();
}

std::vector<int> ColumnStretch::fitted(const std::vector<int>& widths,
                                       const std::vector<bool>& stretch, int available) {
    long total = 0, stretching = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        total += widths[i];
        if (i < stretch.size() && stretch[i]) stretching += widths[i];
    }
    std::vector<int> out = widths;
    const long extra = available - total;
    if (extra <= 0 || stretching <= 0) return out;
    // Each stretching column gets its share; the last one also the pixels
    // the rounding left, so the columns end exactly at the view's edge.
    long given = 0;
    size_t last = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i >= stretch.size() || !stretch[i]) continue;
        const long share = extra * widths[i] / stretching;
        out[i] += static_cast<int>(share);
        given += share;
        last = i;
    }
    out[last] += static_cast<int>(extra - given);
    return out;
}

bool ColumnStretch::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Resize) fit();
    return false;
}

void ColumnStretch::fit() {
    const std::vector<int> widths = fitted(m_widths, m_stretch, m_view->viewport()->width());
    for (size_t i = 0; i < widths.size(); ++i)
        m_view->horizontalHeader()->resizeSection(static_cast<int>(i), widths[i]);
}

} // namespace ui
