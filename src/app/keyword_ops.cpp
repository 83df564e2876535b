// The four record operations on the keyword table: add, edit, delete and the
// in-use switch. Each keeps its row of listview1 and the check's findings in
// step and reports on the status label of the page it came from. Database failures propagate to the
// caller (TForm1::run shows them); the in-memory replacement lists change only on the next load.
#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

using cp::G;

namespace {
KeywordStore& store(const std::unique_ptr<KeywordStore>& db) {
    if (!db) throw DbError("setting.dat is not open");
    return *db;
}

std::string missingText(const std::string& id) {
    return G("【提示信息】ID") + id + G("不存在，可能已经删除，请重新加载词库！");
}
} // namespace

void TForm1::addKeyWord(const std::string& ow, const std::string& nw, bool isused,
                        const std::string& mode) {
    KeywordStore& db = store(Database);
    if (db.findPair(ow, nw)) {
        const std::string text = G("【提示信息】") + ow + G("已经存在于本地数据库");
        if (mode == "add")
            lbl9.setCaption(text);
        else if (mode == "download")
            lbl3.setCaption(text);
        return;
    }
    const KeywordRecord stored = db.append(ow, nw, isused);
    const std::string done = G("【提示信息】") + ow + G("添加成功");
    if (mode == "add")
        lbl9.setCaption(done);
    else if (mode == "download")
        lbl3.setCaption(done);
    // The row is in place before the points request starts: starting it lets
    // window events run, and a reload among them must not list the pair twice.
    listview1.append(rows::rowOf(stored));
    listview1.repaint();
    if (mode == "download") sendPointsRequest(ow, nw);
}

void TForm1::EditKeyWord(int index, const std::string& id, const std::string& ow,
                         const std::string& nw, bool isused) {
    KeywordStore& db = store(Database);
    if (!db.findById(id)) {
        lbl9.setCaption(missingText(id));
        return;
    }
    db.update(id, ow, nw, isused);
    lbl9.setCaption(G("【提示信息】ID") + id + G("修改成功"));
    dropFindingsOf(id);
    // Rows above the one under edit may have been deleted since the edit began,
    // so the row is found by its id; when it is gone only the record changes.
    const int row = rows::rowOfId(listview1, index, id);
    if (row < 0) return;
    listview1.setSubItem(row, 0, ow);
    listview1.setSubItem(row, 1, nw);
    listview1.setSubItem(row, 2, rows::usedText(isused));
    listview1.repaint();
}

void TForm1::DeleteKeyWord(int index, const std::string& id) {
    KeywordStore& db = store(Database);
    if (!db.findById(id)) {
        lbl9.setCaption(missingText(id));
        return;
    }
    db.remove(id);
    lbl9.setCaption(G("【提示信息】ID") + id + G("删除成功"));
    dropFindingsOf(id);
    const int row = rows::rowOfId(listview1, index, id);
    if (row < 0) return;
    listview1.remove(row);
    listview1.repaint();
}

void TForm1::IsusedKeyWord(int index, const std::string& id) {
    KeywordStore& db = store(Database);
    const auto record = db.findById(id);
    if (!record) {
        lbl9.setCaption(missingText(id));
        return;
    }
    // The new state is the opposite of what the row shows; without a row, the
    // opposite of the stored state.
    const int row = rows::rowOfId(listview1, index, id);
    const bool shownUsed =
        row >= 0 ? rows::subItem(listview1.item(row), 2) == rows::usedText(true) : record->isused;
    const bool isused = !shownUsed;
    db.setUsed(id, isused);
    if (row >= 0) listview1.setSubItem(row, 2, rows::usedText(isused));
    lbl9.setCaption(G("【提示信息】ID") + id + G("更改使用状态成功"));
    dropFindingsOf(id);
    listview1.repaint();
}
