// The tool panel's rewrite: the pipeline as the switches set it, over the
// thesaurus the window holds, and the command "生成原创".
#include <memory>

#include "app/Unit1.h"
#include "engine/originality.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"

using cp::G;

StringList TForm1::ExprTest(const std::string& pattern, const std::string& text) {
    return engine::ExprTest(pattern, text, MatchList);
}

engine::RewriteSettings TForm1::rewriteSettings() const {
    engine::RewriteSettings s;
    s.synonyms = bschck4.checked();
    s.shuffle = bschck1.checked();
    s.shuffleSettings.stripSpaces = bschck3.checked();
    s.shuffleSettings.stripBreaks = bschck2.checked();
    s.shuffleSettings.keyword = edt1.text();
    s.shuffleSettings.frequency = bsknsldr1.position();
    return s;
}

html::Mode TForm1::htmlMode(const TComboBox& choice) {
    switch (choice.itemIndex()) {
    case 1:
        return html::Mode::Extract;
    case 2:
        return html::Mode::Text;
    default:
        return html::Mode::Keep;
    }
}

std::shared_ptr<const engine::Thesaurus> TForm1::thesaurusNow(bool thorough) {
    // The index follows the lists: it is made anew after a load and whenever
    // the lists no longer hold what it was built from. Comparing the lists
    // costs as much as they are long, so a caller asking often may ask for
    // the cheap checks only (a load marks the index stale and replaces the
    // lists, an edit changes their length) and the whole comparison now and then.
    const size_t sizes = OriginalWords.size() + NewWords.size();
    bool fresh = false;
    if (m_synonymsDirty || !m_synonyms || sizes != m_synonymsSizes ||
        (thorough && !m_synonyms->builtFrom(OriginalWords, NewWords))) {
        auto index = std::make_shared<SynonymReplacer>();
        index->build(OriginalWords, NewWords);
        m_synonyms = std::move(index);
        m_synonymsDirty = false;
        m_synonymsSizes = sizes;
        fresh = true;
    }
    if (!m_protect || !m_protect->builtFrom(ProtectedWords)) {
        auto all = std::make_shared<ProtectedWordFinder>();
        all->build(ProtectedWords);
        auto cuttable = std::make_shared<ProtectedWordFinder>();
        cuttable->build(engine::wordsHoldingDelimiters(ProtectedWords));
        m_protect = std::move(all);
        m_protectShuffle = std::move(cuttable);
        fresh = true;
    }
    if (fresh || !m_thesaurus)
        m_thesaurus = engine::Thesaurus::fromParts(m_synonyms, m_protect, m_protectShuffle,
                                                   std::min(OriginalWords.size(), NewWords.size()));
    return m_thesaurus;
}

engine::Pipeline TForm1::pipelineNow(bool thorough) {
    return engine::Pipeline(rewriteSettings(), thesaurusNow(thorough));
}

std::string TForm1::TongYiCi(const std::string& text) {
    engine::RewriteSettings s;
    s.synonyms = true;
    s.shuffle = false;
    return engine::Pipeline(s, thesaurusNow()).replace(text);
}

std::string TForm1::daluan(const std::string& text) {
    engine::RewriteSettings s = rewriteSettings();
    s.synonyms = false;
    s.shuffle = true;
    return engine::Pipeline(s, thesaurusNow()).finish(text, m_rewriteState);
}

std::string TForm1::rewrite(const std::string& text) {
    return pipelineNow().rewrite(text, m_rewriteState).text;
}

void TForm1::bsSkinXFormButton2Click() {
    if (!ThesaurusLoaded) {
        Label1.setCaption(G("【提示信息】请先初始化再进行替换！"));
        return;
    }
    const std::string source = Memo1.text();
    engine::RewriteResult result;
    const html::Mode mode = htmlMode(cbb1);
    if (mode != html::Mode::Text && html::isHtml({}, {}, source)) {
        // A page: its text rewritten in place, or its article taken out.
        html::PipelinePage page =
            html::rewritePageText(source, mode, pipelineNow(), m_rewriteState);
        if (page.page.output.empty()) {
            Label1.setCaption(G("【提示信息】") + page.page.reason);
            return;
        }
        result.text = std::move(page.page.output);
        result.originality = engine::originality(page.source, page.rewritten);
    } else {
        // With the shuffle off, the words replacement put in are marked in
        // the new article.
        result =
            pipelineNow().rewrite(source, m_rewriteState, {.marks = true, .originality = true});
    }
    if (result.text.empty()) {
        Label1.setCaption(G("【提示信息】请输入原始文章内容！"));
        return;
    }
    Memo2.setText(result.text);
    m_newArticleMarks = std::move(result.marks);
    m_markedArticle = m_newArticleMarks.empty() ? std::string() : result.text;
    if (bschck11.checked()) Memo2.setMarks(m_newArticleMarks);
    bsSkinPageControl1.setActivePage(1);
    Label1.setCaption(G("【提示信息】原创文章完毕！"));
    lbl22.setCaption(G("原创度：") + std::to_string(*result.originality) + "%");
}

void TForm1::bschck11Click() {
    // The marks belong to the text they were made for; an edited article
    // gets none back.
    const bool show = bschck11.checked() && Memo2.text() == m_markedArticle;
    Memo2.setMarks(show ? m_newArticleMarks : std::vector<TextSpan>());
}
