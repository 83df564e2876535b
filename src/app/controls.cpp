#include "app/controls.h"

#include <algorithm>
#include <stdexcept>

void Control::setVisible(bool v) {
    if (m_visible == v) return;
    m_visible = v;
    changed();
}

void Control::setFocus() {
    ++m_focusRequests;
    changed();
}

void TCaptioned::setCaption(std::string c) {
    m_caption = std::move(c);
    changed();
}

void TLinkLabel::setAddress(std::string a) {
    m_address = std::move(a);
    changed();
}

void TCheckBox::setChecked(bool c) {
    m_checked = c;
    changed();
}

void TEdit::setText(std::string t) {
    if (t == m_text) return;
    m_text = std::move(t);
    changed();
    if (onChange) onChange();
}

const std::string& TMemo::text() const {
    if (!m_appends.empty()) mergeAppends();
    return m_text;
}

void TMemo::setText(std::string t) {
    // The editor writes its text back also when only its colours changed.
    const bool same = t == text();
    m_text = std::move(t);
    m_indexed = false;
    changed();
    if (!same && !m_marks.empty()) setMarks({});
}

void TMemo::indexLines() const {
    if (m_indexed) return;
    m_lineSpans.clear();
    const size_t n = m_text.size();
    size_t start = 0;
    while (start < n) {
        size_t stop = m_text.find_first_of("\r\n", start);
        if (stop == std::string::npos) stop = n;
        m_lineSpans.emplace_back(start, stop);
        if (stop == n) break;
        start = stop + (m_text[stop] == '\r' && stop + 1 < n && m_text[stop + 1] == '\n' ? 2 : 1);
    }
    m_indexed = true;
}

void TMemo::mergeAppends() const {
    indexLines();
    std::string merged;
    size_t extra = 0;
    for (const auto& [index, s] : m_appends)
        extra += s.size();
    merged.reserve(m_text.size() + extra);
    size_t copied = 0;
    for (const auto& [index, s] : m_appends) {
        const size_t end = m_lineSpans[static_cast<size_t>(index)].second;
        merged.append(m_text, copied, end - copied);
        merged += s;
        copied = end;
    }
    merged.append(m_text, copied, std::string::npos);
    m_text = std::move(merged);
    m_appends.clear();
    m_indexed = false;
}

bool TMemo::appendToLine(int index, const std::string& s) {
    indexLines();
    if (index < 0 || static_cast<size_t>(index) >= m_lineSpans.size()) return false;
    m_appends[index] += s;
    changed();
    if (!m_marks.empty()) setMarks({});
    return true;
}

bool TMemo::line(int index, std::string& out) const {
    indexLines();
    if (index < 0 || static_cast<size_t>(index) >= m_lineSpans.size()) return false;
    const auto [begin, end] = m_lineSpans[static_cast<size_t>(index)];
    out.assign(m_text, begin, end - begin);
    if (auto it = m_appends.find(index); it != m_appends.end()) out += it->second;
    return true;
}

void TMemo::selectAll() {
    ++m_selectAllRequests;
    changed();
}

void TMemo::setMarks(std::vector<TextSpan> marks) {
    m_marks = std::move(marks);
    if (onMarksChange) onMarksChange();
}

std::string TMemo::joinMemoLines(const StringList& l) {
    std::string out;
    for (size_t i = 0; i < l.size(); ++i) {
        if (i) out += "\r\n";
        out += l[i];
    }
    return out;
}

void TSpinEdit::setValue(double v) {
    m_value = v;
    changed();
}

void TSlider::setPosition(int p) {
    const int old = m_pos;
    m_pos = std::clamp(p, m_min, m_max);
    changed();
    if (m_pos != old && onChange) onChange();
}

void TGauge::setMax(int m) {
    m_max = m;
    changed();
}

void TGauge::setValue(int v) {
    m_value = v;
    changed();
}

void TRadioGroup::setItemIndex(int i) {
    m_index = i;
    changed();
}

void TComboBox::setItemIndex(int i) {
    m_index = i;
    changed();
}

void TPageControl::setActivePage(int i) {
    m_active = i;
    changed();
}

void TWebView::navigate(std::string url) {
    m_url = std::move(url);
    changed();
}

void TListView::clear() {
    m_items.clear();
    m_selected = -1;
    if (m_listObserver) m_listObserver->rowsReset();
}

int TListView::append(ListItem item) {
    const int row = count();
    insert(row, std::move(item));
    return row;
}

void TListView::insert(int row, ListItem item) {
    if (row < 0 || row > count()) throw std::out_of_range("list index out of bounds");
    m_items.insert(m_items.begin() + row, std::move(item));
    if (m_selected >= row) ++m_selected;
    if (m_listObserver) m_listObserver->rowsInserted(row, 1);
}

void TListView::remove(int row) {
    if (row < 0 || row >= count()) throw std::out_of_range("list index out of bounds");
    m_items.erase(m_items.begin() + row);
    if (m_selected == row)
        m_selected = -1;
    else if (m_selected > row)
        --m_selected;
    if (m_listObserver) m_listObserver->rowsRemoved(row, 1);
}

void TListView::setSubItem(int row, int sub, std::string text) {
    auto& it = m_items.at(static_cast<size_t>(row));
    if (sub < 0) throw std::out_of_range("sub-item index out of bounds");
    if (static_cast<size_t>(sub) >= it.subItems.size())
        it.subItems.resize(static_cast<size_t>(sub) + 1);
    it.subItems[static_cast<size_t>(sub)] = std::move(text);
    if (m_listObserver) m_listObserver->rowChanged(row);
}

void TListView::setChecked(int row, bool checked) {
    m_items.at(static_cast<size_t>(row)).checked = checked;
    if (m_listObserver) m_listObserver->rowChanged(row);
}

void TListView::setAllChecked(bool checked) {
    for (auto& it : m_items)
        it.checked = checked;
    if (m_listObserver) m_listObserver->repaint();
}

void TListView::repaint() {
    if (m_listObserver) m_listObserver->repaint();
}

void TListView::setSelected(int row) {
    m_selected = (row >= 0 && row < count()) ? row : -1;
    if (m_listObserver) m_listObserver->selectionChanged(m_selected);
}

void TListView::scrollIntoView(int row) {
    m_lastScrolled = row;
    if (m_listObserver) m_listObserver->scrolledTo(row);
}

void TListView::setFocus() {
    Control::setFocus();
    if (m_listObserver) m_listObserver->focusRequested();
}
