#include "ui/memo_marks.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>

#include "protocol/codepage.h"
#include "ui/qt_text.h"

namespace ui {

namespace {

using cp::isGbkLead;

// Display positions of the stretch ends, by walking the characters: what
// memoToQ makes of each (a break is one unit, a supplementary character two).
// Empty when the walk does not end at `length`: the text holds bytes the
// walk reads otherwise than the converter does.
std::vector<int> walkedPositions(const std::string& gbk, const std::vector<size_t>& offsets,
                                 int length) {
    std::vector<int> positions;
    positions.reserve(offsets.size());
    const auto* t = reinterpret_cast<const unsigned char*>(gbk.data());
    const size_t n = gbk.size();
    size_t next = 0;
    int pos = 0;
    for (size_t i = 0; i < n;) {
        size_t len = 1;
        int units = 1;
        const auto at = [&](size_t k) { return k < n ? t[k] : 0; };
        if (t[i] == '\r' && at(i + 1) == '\n') {
            len = 2;
        } else if (isGbkLead(t[i])) {
            if (at(i + 1) >= 0x30 && at(i + 1) <= 0x39 && isGbkLead(at(i + 2)) &&
                at(i + 3) >= 0x30 && at(i + 3) <= 0x39) {
                len = 4; // a four-byte GB18030 character, beyond the BMP from 0x90 on
                units = t[i] >= 0x90 ? 2 : 1;
            } else if (at(i + 1) >= 0x40 && at(i + 1) <= 0xFE && at(i + 1) != 0x7F) {
                len = 2;
            }
        }
        while (next < offsets.size() && offsets[next] < i + len)
            positions.push_back(offsets[next++] <= i ? pos : pos + units);
        pos += units;
        i += len;
    }
    for (; next < offsets.size(); ++next)
        positions.push_back(pos);
    if (pos != length) positions.clear();
    return positions;
}

} // namespace

std::vector<std::pair<int, int>> displaySpans(const std::string& gbk,
                                              const std::vector<TextSpan>& marks) {
    std::vector<std::pair<int, int>> spans;
    if (marks.empty()) return spans;
    std::vector<size_t> offsets;
    offsets.reserve(marks.size() * 2);
    for (const TextSpan& m : marks) {
        offsets.push_back(std::min(m.begin, gbk.size()));
        offsets.push_back(std::min(m.end, gbk.size()));
    }
    std::vector<int> positions =
        walkedPositions(gbk, offsets, static_cast<int>(memoToQ(gbk).size()));
    if (positions.empty()) {
        // Converted piece by piece; a CR LF that a cut splits is one break.
        int pos = 0;
        size_t from = 0;
        for (size_t offset : offsets) {
            if (offset > from) {
                pos += static_cast<int>(memoToQ(gbk.substr(from, offset - from)).size());
                if (from > 0 && gbk[from - 1] == '\r' && gbk[from] == '\n') --pos;
                from = offset;
            }
            positions.push_back(pos);
        }
    }
    for (size_t k = 0; k + 1 < positions.size(); k += 2)
        if (positions[k] < positions[k + 1]) spans.emplace_back(positions[k], positions[k + 1]);
    return spans;
}

MemoMarks::MemoMarks(TMemo& memo, QPlainTextEdit* editor)
    : QSyntaxHighlighter(editor->document()), m_memo(memo) {
    m_format.setBackground(QColor(0xFF, 0xE0, 0x82));
    m_memo.onMarksChange = [this] { marksChanged(); };
    marksChanged();
}

MemoMarks::~MemoMarks() {
    m_memo.onMarksChange = nullptr;
}

void MemoMarks::marksChanged() {
    // The editor takes up a new text on the next pass of the event loop; the
    // old stretches must not colour it meanwhile.
    m_spans.clear();
    if (m_pending) return;
    m_pending = true;
    QTimer::singleShot(0, this, &MemoMarks::applyMarks);
}

void MemoMarks::applyMarks() {
    m_pending = false;
    m_spans = displaySpans(m_memo.text(), m_memo.marks());
    rehighlight();
}

void MemoMarks::highlightBlock(const QString& text) {
    if (m_spans.empty()) return;
    const int begin = currentBlock().position();
    const int end = begin + static_cast<int>(text.size());
    auto it =
        std::lower_bound(m_spans.begin(), m_spans.end(), begin,
                         [](const std::pair<int, int>& s, int pos) { return s.second <= pos; });
    for (; it != m_spans.end() && it->first < end; ++it) {
        const int from = std::max(it->first, begin);
        const int to = std::min(it->second, end);
        if (from < to) setFormat(from - begin, to - from, m_format);
    }
}

} // namespace ui
