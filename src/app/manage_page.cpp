// Commands of the page " 管理词库 ": the popup menu of listview1 (修改, 删除,
// 使用？), the add/edit button with its cancel, find and select-all.
#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "protocol/codepage.h"

using cp::G;

namespace {
const std::string& addCaption() {
    static const std::string s = G("新增");
    return s;
}
} // namespace

void TForm1::N1Click() {
    const int row = listview1.selected();
    if (row < 0) return;
    const ListItem& item = listview1.item(row);
    EditingId = item.caption;
    EditingIndex = row;
    bsSkinEdit1.setText(rows::subItem(item, 0));
    bsSkinEdit2.setText(rows::subItem(item, 1));
    bsSkinCheckRadioBox2.setChecked(rows::subItem(item, 2) == rows::usedText(true));
    bsSkinXFormButton3.setCaption(G("修改"));
    bsSkinXFormButton5.setVisible(true);
}

void TForm1::N2Click() {
    const int row = listview1.selected();
    if (row < 0) return;
    // Copies: the list may change while the question is open.
    const std::string id = listview1.item(row).caption;
    const std::string ow = rows::subItem(listview1.item(row), 0);
    if (!m_platform.confirm(G("你确认删除【ID:") + id + G("-原始词:") + ow + G("】？"))) return;
    DeleteKeyWord(row, id);
}

void TForm1::N3Click() {
    const int row = listview1.selected();
    if (row < 0) return;
    IsusedKeyWord(row, listview1.item(row).caption);
}

// Leaves edit mode: the button adds again and the edits are empty.
static void endEditMode(TForm1& f) {
    f.EditingIndex = 0;
    f.EditingId = "0";
    f.bsSkinXFormButton3.setCaption(addCaption());
    f.bsSkinXFormButton5.setVisible(false);
    f.bsSkinEdit1.setText({});
    f.bsSkinEdit2.setText({});
}

void TForm1::bsSkinXFormButton3Click() {
    if (bsSkinXFormButton3.caption() == addCaption()) {
        if (bsSkinEdit1.text().empty() || bsSkinEdit2.text().empty()) {
            lbl9.setCaption(G("【提示信息】必须输入词语！"));
            return;
        }
        addKeyWord(bsSkinEdit1.text(), bsSkinEdit2.text(), bsSkinCheckRadioBox2.checked(), "add");
        // Offered to the server whatever the add reported, also when the pair
        // was already stored.
        if (bschck10.checked()) sendShareRequest(bsSkinEdit1.text(), bsSkinEdit2.text());
        return;
    }
    EditKeyWord(EditingIndex, EditingId, bsSkinEdit1.text(), bsSkinEdit2.text(),
                bsSkinCheckRadioBox2.checked());
    endEditMode(*this);
}

void TForm1::bsSkinXFormButton5Click() {
    endEditMode(*this);
}

void TForm1::bsSkinXFormButton6Click() {
    // The search starts after the selected row, so pressing again finds the
    // next match; past the last row it goes on from the first.
    const std::string& text = bsSkinEdit3.text();
    const auto& items = listview1.items();
    const size_t n = items.size();
    const size_t start =
        listview1.selected() >= 0 ? static_cast<size_t>(listview1.selected()) + 1 : 0;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = (start + k) % n;
        if (rows::containsGbk(rows::subItem(items[i], 0), text) ||
            rows::containsGbk(rows::subItem(items[i], 1), text)) {
            const int row = static_cast<int>(i);
            listview1.setFocus();
            listview1.setSelected(row);
            listview1.scrollIntoView(row);
            if (start > 0 && i < start)
                lbl9.setCaption(G("【提示信息】已找到最后一行，从头继续查找【") + text + G("】"));
            return;
        }
    }
    lbl9.setCaption(G("【提示信息】没有找到【") + text + G("】"));
}

void TForm1::bschck7Click() {
    if (listview1.count() == 0) return;
    listview1.setAllChecked(bschck7.checked());
}
