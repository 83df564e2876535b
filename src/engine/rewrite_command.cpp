// The rewrite steps of the main window and the command "生成原创".
#include <memory>

#include "app/Unit1.h"
#include "engine/codepage.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"

using cp::G;

StringList TForm1::ExprTest(const std::string& pattern, const std::string& text) {
    return engine::ExprTest(pattern, text, MatchList);
}

std::string TForm1::TongYiCi(const std::string& text) {
    if (text.empty()) return {};
    // The index follows the lists: it is rebuilt after a load and whenever the
    // lists no longer hold what it was built from.
    if (!m_synonyms) m_synonyms = std::make_unique<SynonymReplacer>();
    if (m_synonymsDirty || !m_synonyms->builtFrom(OriginalWords, NewWords)) {
        m_synonyms->build(OriginalWords, NewWords);
        m_synonymsDirty = false;
    }
    return m_synonyms->apply(text);
}

std::string TForm1::daluan(const std::string& text) {
    engine::ShuffleOptions options;
    options.stripSpaces = bschck3.checked();
    options.stripBreaks = bschck2.checked();
    options.keyword = edt1.text();
    options.frequency = bsknsldr1.position();
    return engine::daluan(text, options, Random, MatchList);
}

std::string TForm1::rewrite(const std::string& text) {
    std::string result = text;
    if (bschck4.checked()) result = TongYiCi(result);
    if (bschck1.checked()) result = daluan(result);
    return result;
}

void TForm1::bsSkinXFormButton2Click() {
    if (!ThesaurusLoaded) {
        Label1.setCaption(G("【提示信息】请先初始化再进行替换！"));
        return;
    }
    const std::string result = rewrite(Memo1.text());
    if (result.empty()) {
        Label1.setCaption(G("【提示信息】请输入原始文章内容！"));
        return;
    }
    Memo2.setText(result);
    bsSkinPageControl1.setActivePage(1);
    Label1.setCaption(G("【提示信息】原创文章完毕！"));
}
