// The starter thesaurus shipped in data/synonyms.txt: it must check clean and
// keep rewriting plain prose into correct Chinese as pairs are added to it.
#include <gtest/gtest.h>

#include "engine/synonyms.h"
#include "engine/textutil.h"
#include "engine/thesaurus_check.h"
#include "support/fixtures.h"
#include "thesaurus/tab_pairs.h"

namespace {

tabpairs::Parsed shippedPairs() {
    return tabpairs::parse(ReadWholeFile(WYC_SOURCE_DIR "/data/synonyms.txt"));
}

// GBK characters in `word`: a lead byte (81..FE) takes the next byte with it.
size_t characters(const std::string& word) {
    size_t n = 0;
    for (size_t i = 0; i < word.size(); ++i, ++n)
        if (static_cast<unsigned char>(word[i]) >= 0x81) ++i;
    return n;
}

TEST(StarterThesaurusTest, ChecksCleanWithEnoughMultiCharacterPairs) {
    const tabpairs::Parsed p = shippedPairs();
    EXPECT_EQ(p.malformed, std::vector<int>{});
    EXPECT_GE(p.originals.size(), 5000u);
    for (size_t k = 0; k < p.originals.size(); ++k)
        EXPECT_GE(characters(p.originals[k]), 2u)
            << "line " << p.lines[k] << ": " << cp::gbkToUtf8(p.originals[k]);
    for (const engine::Finding& f : engine::checkThesaurus(p.originals, p.replacements)) {
        std::string where;
        for (size_t k : f.pairs)
            where += " line " + std::to_string(p.lines[k]) + " " + cp::gbkToUtf8(p.originals[k]) +
                     "->" + cp::gbkToUtf8(p.replacements[k]);
        ADD_FAILURE() << engine::findingKindName(f.kind) << ":" << where;
    }
}

// Phrases before the words inside them (最近一段时间, 多留个心眼, 并不少见),
// 一直 changed only where 始终 reads right, 正在 becoming 在, which keeps a
// 在 that means "at", and words that must read right in every use (不少 after
// its noun, 至少 as "at any rate", 王老师 as a form of address).
TEST(StarterThesaurusTest, RewritesAParagraphIntoCorrectChinese) {
    const tabpairs::Parsed p = shippedPairs();
    SynonymReplacer replacer;
    replacer.build(p.originals, p.replacements);
    const std::string source =
        g("最近一段时间，不少市民反映，小区附近的公交车站一直没有遮阳棚，夏天等车非常辛苦。"
          "这种情况在老城区并不少见。街道办事处的工作人员说，他们会根据居民的意见尽快解决，"
          "也提醒大家外出时多留个心眼，注意交通安全。书架从地板一直顶到天花板，"
          "他反正在家里闲着，正在帮老人收拾房间。王老师说，这样的问题不少，但至少大家都尽力了。");
    EXPECT_EQ(
        cp::gbkToUtf8(replacer.apply(source)),
        "近来，很多市民反映，小区周边的公交站始终没遮阳棚，夏季候车十分辛苦。"
        "这类情形在老城区并不鲜见。街道办事处的工作人员说，他们会依据居民的意见及早处理，"
        "也提示大家外出时多加提防，留意交通安全。书架从地板一直顶到天花板，"
        "他横竖在家中闲着，在帮老年人整理房间。王老师说，这样的问题很多，但起码人人都尽力了。");
}

// Words a pair once cut apart or joined with its neighbour: a pair firing
// inside a longer word (大多数, 名不见经传, 可能不能), across two words (派发现金,
// 主要是, 出现在), or on a new word and the character after it (非常开心 became
// 十分离心, 根据说明 依据传明). Each sentence must keep its fragment and must
// not read as the broken one.
TEST(StarterThesaurusTest, KeepsWordsThatPairsOnceBroke) {
    const tabpairs::Parsed p = shippedPairs();
    SynonymReplacer replacer;
    replacer.build(p.originals, p.replacements);
    struct Case {
        const char* source;
        const char* broken; // what a faulty list made of it
    };
    const Case cases[] = {
        {"大多数用户都会遇到", "多半数"},
        {"这项工作可能不能按时完成", "可可否"},
        {"页面上的功能不能用了", "功可否"},
        {"这是一家名不见经传的小公司", "名名"},
        {"他几十年如一日地坚持锻炼", "几始终"},
        {"现在下结论为时尚早", "新潮"},
        {"有鉴于此，我们决定暂停", "有有"},
        {"学习要温故而知新", "温因而"},
        {"他今天非常开心", "离心"},
        {"如果同时打开两个窗口", "宛如"},
        {"请根据说明书操作", "据传"},
        {"现在天气很好", "今日气"},
        {"用h表示小时，用d表示天", "明日"},
        {"当时下雨了", "当前雨"},
        {"你应该下载最新版本", "当前载"},
        {"公司向股东派发现金红利", "察觉"},
        {"问题主要是内存不足", "倘若"},
        {"错误提示出现在屏幕上", "如今"},
        {"把两台设备直接连接起来", "相继"},
        {"列表中包含有效的记录", "带有"},
        {"请先修改正在运行的配置", "纠正"},
        {"这些年轻人很努力", "几年"},
        {"请检查样品格式", "品行"},
        {"程序没有接收到数据", "接接"},
        {"他们不用化肥和农药", "无须"},
        {"早晚高峰交通过于拥堵", "借助"},
        {"沟通过程中要耐心", "借助"},
        {"审核通过后即可领取", "借助"},
        {"这里是喀斯特地貌", "特意"},
        {"记忆起来也更加容易", "记想"},
        {"从影响因素来看", "因向"},
        {"拔掉外接设备后再重新开机", "再再"},
    };
    for (const Case& c : cases) {
        const std::string result = cp::gbkToUtf8(replacer.apply(g(c.source)));
        EXPECT_EQ(result.find(c.broken), std::string::npos) << c.source << " -> " << result;
    }
}

} // namespace
