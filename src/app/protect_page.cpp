// The protected words on the page " 管理词库 ": the list lv3, the edit edt9
// and the buttons 添加 (btn16) and 删除 (btn17). They are stored in setting.dat
// and take effect at once, without a reload.
#include "app/Unit1.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"

using cp::G;

void TForm1::loadProtectedWords() {
    ProtectedWords = protect::list(Database->db());
    lv3.clear();
    for (const std::string& word : ProtectedWords)
        lv3.append({word, {}, false});
}

void TForm1::btn16Click() {
    const std::string word = edt9.text();
    switch (protect::checkWord(word)) {
    case protect::WordCheck::Blank:
        lbl9.setCaption(G("【提示信息】必须输入保护词！"));
        return;
    case protect::WordCheck::ControlCharacter:
        lbl9.setCaption(G("【提示信息】保护词不能含有换行等控制字符！"));
        return;
    case protect::WordCheck::Fine:
        break;
    }
    if (!Database) throw DbError("setting.dat is not open");
    if (!protect::add(Database->db(), word)) {
        lbl9.setCaption(G("【提示信息】保护词【") + word + G("】已经存在"));
        return;
    }
    ProtectedWords.push_back(word);
    const int row = lv3.append({word, {}, false});
    lv3.scrollIntoView(row);
    edt9.setText({});
    lbl9.setCaption(G("【提示信息】保护词【") + word + G("】添加成功"));
}

void TForm1::btn17Click() {
    const int row = lv3.selected();
    if (row < 0) {
        lbl9.setCaption(G("【提示信息】请先在保护词列表中选中要删除的词！"));
        return;
    }
    if (!Database) throw DbError("setting.dat is not open");
    const std::string word = lv3.item(row).caption;
    // Gone from the file already (another program removed it): the list
    // follows the file all the same.
    protect::remove(Database->db(), word);
    std::erase(ProtectedWords, word);
    lv3.remove(row);
    lbl9.setCaption(G("【提示信息】保护词【") + word + G("】删除成功"));
}
