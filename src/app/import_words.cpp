// "导入词库": adds the pairs of a pair list file (the format the export
// writes) to setting.dat, with the reader and checks of `wyc-cli thesaurus
// import`, then reloads the thesaurus so the new pairs are listed and used.
#include <exception>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "engine/files.h"
#include "engine/text_file.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/pair_import.h"
#include "thesaurus/pair_list_file.h"

using cp::G;

namespace {

// At most this many line numbers are named; the count tells the rest.
constexpr size_t kLinesNamed = 5;

std::string lineNumbers(const std::vector<int>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size() && i < kLinesNamed; ++i)
        out += (i ? G("、") : std::string()) + std::to_string(lines[i]);
    if (lines.size() > kLinesNamed) out += G("等");
    return out;
}

std::string readFailure(const textfile::TextFileError& e) {
    switch (e.reason) {
    case textfile::TextFileError::Reason::NotRegularFile:
        return G("它不是普通文件");
    case textfile::TextFileError::Reason::TooLarge:
        return G("文件超过64MB");
    case textfile::TextFileError::Reason::System:
        break;
    }
    return G("文件不存在或没有读取权限");
}

} // namespace

void TForm1::btn20Click() {
    const auto chosen = m_platform.openFile(open1.title, open1.filterName, open1.filterMask);
    if (!chosen) return;
    if (!Database) throw DbError("setting.dat is not open");
    pairfile::ListFile list;
    try {
        list = pairfile::readList(fsPath(*chosen), std::nullopt);
    } catch (const textfile::TextFileError& e) {
        lbl9.setCaption(G("【提示信息】无法读取") + *chosen + G("：") + readFailure(e));
        return;
    }
    // One transaction: a failure leaves the thesaurus as it was and reaches
    // the error box.
    const ImportResult result = importPairs(*Database, list.parsed.pairs);
    if (result.added > 0) bsSkinXFormButton4Click();

    std::vector<int> refused;
    for (const auto& m : list.parsed.malformed)
        refused.push_back(m.line);
    std::string text = G("【提示信息】导入完成：新增") + std::to_string(result.added) +
                       G("个词对，重复或已存在") + std::to_string(result.duplicateLines.size()) +
                       G("个，拒绝") + std::to_string(refused.size()) + G("行");
    if (!refused.empty())
        text += G("（第") + lineNumbers(refused) +
                G("行格式不对，每行应为“原始词,新词,是”或“原始词,新词”）");
    lbl9.setCaption(text + G("。"));
}
