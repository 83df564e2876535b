// The thesaurus check on the page " 管理词库 ": the button 词库体检 (btn15)
// lists the findings over the in-use rows of listview1 in lv4; choosing a
// finding selects the row of the pair it is about. A finding goes when one of
// its pairs is edited, switched or deleted: it may no longer hold.
#include <algorithm>

#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "engine/thesaurus_check.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

using cp::G;

namespace {

std::string kindText(engine::FindingKind kind) {
    switch (kind) {
    case engine::FindingKind::Undone:
        return G("互相抵消");
    case engine::FindingKind::Chain:
        return G("连锁替换");
    case engine::FindingKind::Shadowed:
        return G("被遮蔽");
    case engine::FindingKind::Duplicate:
        return G("原始词重复");
    case engine::FindingKind::NoOp:
        return G("无效替换");
    case engine::FindingKind::InsideWord:
        return G("拆开长词");
    }
    return {};
}

} // namespace

void TForm1::btn15Click() {
    // The rows show the table as it is now, edits since the last load
    // included; the pairs apply in ascending id.
    std::vector<const ListItem*> used;
    for (const ListItem& item : listview1.items())
        if (rows::subItem(item, 2) == rows::usedText(true)) used.push_back(&item);
    std::stable_sort(used.begin(), used.end(), [](const ListItem* a, const ListItem* b) {
        return KeywordStore::parseId(a->caption).value_or(0) <
               KeywordStore::parseId(b->caption).value_or(0);
    });
    StringList originals, replacements;
    for (const ListItem* item : used) {
        originals.push_back(rows::subItem(*item, 0));
        replacements.push_back(rows::subItem(*item, 1));
    }
    const auto findings = engine::checkThesaurus(originals, replacements);

    lv4.clear();
    const std::string arrow = G("→");
    for (const engine::Finding& f : findings) {
        std::string ids, words;
        for (size_t k : f.pairs) {
            ids += (ids.empty() ? "" : ",") + used[k]->caption;
            words += (words.empty() ? "" : "  ") + originals[k] + arrow + replacements[k];
        }
        lv4.append({kindText(f.kind), {ids, words}, false});
    }
    lv4.repaint();
    if (findings.empty())
        lbl9.setCaption(G("【提示信息】词库体检完毕：") + std::to_string(used.size()) +
                        G("个启用的词对，没有发现问题"));
    else
        lbl9.setCaption(G("【提示信息】词库体检完毕：") + std::to_string(used.size()) +
                        G("个启用的词对，发现") + std::to_string(findings.size()) + G("个问题"));
}

void TForm1::dropFindingsOf(const std::string& id) {
    // The findings name their pairs' ids joined by ",".
    for (int row = lv4.count() - 1; row >= 0; --row) {
        const std::string& ids = rows::subItem(lv4.item(row), 0);
        for (size_t start = 0; start <= ids.size();) {
            const size_t comma = std::min(ids.find(',', start), ids.size());
            if (ids.compare(start, comma - start, id) == 0) {
                lv4.remove(row);
                break;
            }
            start = comma + 1;
        }
    }
}

void TForm1::lv4SelectItem() {
    const int finding = lv4.selected();
    if (finding < 0) return;
    // The last pair of a finding is the one that undoes, continues, can never
    // fire or repeats: the pair to look at first.
    const std::string& ids = rows::subItem(lv4.item(finding), 0);
    const std::string id = ids.substr(ids.rfind(',') + 1);
    const int row = rows::rowOfId(listview1, -1, id);
    if (row < 0) {
        lbl9.setCaption(G("【提示信息】ID") + id + G("不存在，可能已经删除，请重新加载词库！"));
        return;
    }
    listview1.setSelected(row);
    listview1.scrollIntoView(row);
}
