// The rewrite steps of the main window and the command "生成原创".
#include <memory>

#include "app/Unit1.h"
#include "protocol/codepage.h"
#include "engine/originality.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"

using cp::G;

StringList TForm1::ExprTest(const std::string& pattern, const std::string& text) {
    return engine::ExprTest(pattern, text, MatchList);
}

std::string TForm1::TongYiCi(const std::string& text) {
    ReplaceTrace trace;
    return replaceSynonyms(text, trace, false);
}

std::string TForm1::replaceSynonyms(const std::string& text, ReplaceTrace& trace, bool withMarks) {
    trace = {};
    if (text.empty()) return {};
    const SynonymStep step = synonymStep();
    return step.index->apply(text, step.guard->find(text), trace, withMarks);
}

SynonymStep TForm1::synonymStep() {
    // The index follows the lists: it is made anew after a load and whenever
    // the lists no longer hold what it was built from.
    if (m_synonymsDirty || !m_synonyms || !m_synonyms->builtFrom(OriginalWords, NewWords)) {
        auto fresh = std::make_shared<SynonymReplacer>();
        fresh->build(OriginalWords, NewWords);
        m_synonyms = std::move(fresh);
        m_synonymsDirty = false;
    }
    return {m_synonyms, protectedWordFinder()};
}

std::string SynonymStep::operator()(const std::string& text) const {
    if (text.empty()) return {};
    ReplaceTrace trace;
    return index->apply(text, guard->find(text), trace, false);
}

std::string TForm1::daluan(const std::string& text) {
    engine::ShuffleOptions options;
    options.stripSpaces = bschck3.checked();
    options.stripBreaks = bschck2.checked();
    options.keyword = edt1.text();
    options.frequency = bsknsldr1.position();
    const auto guard = protectedWordFinder(true);
    if (!guard->empty()) options.protect = guard.get();
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
    const std::string source = Memo1.text();
    // The steps of rewrite(); with the shuffle off, the words replacement put
    // in are marked in the new article.
    const bool marking = bschck4.checked() && !bschck1.checked();
    ReplaceTrace trace;
    std::string result = source;
    if (bschck4.checked()) result = replaceSynonyms(result, trace, marking);
    if (bschck1.checked()) result = daluan(result);
    if (result.empty()) {
        Label1.setCaption(G("【提示信息】请输入原始文章内容！"));
        return;
    }
    Memo2.setText(result);
    m_newArticleMarks = trace.markedSpans();
    m_markedArticle = m_newArticleMarks.empty() ? std::string() : result;
    if (bschck11.checked()) Memo2.setMarks(m_newArticleMarks);
    bsSkinPageControl1.setActivePage(1);
    Label1.setCaption(G("【提示信息】原创文章完毕！"));
    lbl22.setCaption(G("原创度：") + std::to_string(engine::originality(source, result)) + "%");
}

void TForm1::bschck11Click() {
    // The marks belong to the text they were made for; an edited article
    // gets none back.
    const bool show = bschck11.checked() && Memo2.text() == m_markedArticle;
    Memo2.setMarks(show ? m_newArticleMarks : std::vector<TextSpan>());
}

std::shared_ptr<const ProtectedWordFinder> TForm1::protectedWordFinder(bool forShuffle) {
    if (!m_protect || !m_protect->builtFrom(ProtectedWords)) {
        auto all = std::make_shared<ProtectedWordFinder>();
        all->build(ProtectedWords);
        auto cuttable = std::make_shared<ProtectedWordFinder>();
        cuttable->build(engine::wordsHoldingDelimiters(ProtectedWords));
        m_protect = std::move(all);
        m_protectShuffle = std::move(cuttable);
    }
    return forShuffle ? m_protectShuffle : m_protect;
}
