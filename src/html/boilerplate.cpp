#include "html/boilerplate.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "protocol/codepage.h"

namespace html {
namespace {

struct Phrases {
    std::vector<std::string> utf8, gbk;
    std::bitset<256> firstUtf8, firstGbk; // the bytes the phrases start with
    explicit Phrases(std::initializer_list<const char*> list) {
        for (const char* p : list) {
            utf8.emplace_back(p);
            gbk.push_back(cp::utf8ToGbk(p));
            firstUtf8.set(static_cast<unsigned char>(utf8.back()[0]));
            firstGbk.set(static_cast<unsigned char>(gbk.back()[0]));
        }
    }
    const std::vector<std::string>& in(bool isUtf8) const { return isUtf8 ? utf8 : gbk; }
    // Whether a phrase may start `text`.
    bool mayStart(std::string_view text, bool isUtf8) const {
        return !text.empty() &&
               (isUtf8 ? firstUtf8 : firstGbk).test(static_cast<unsigned char>(text[0]));
    }
};

// Short lines that begin so are page furniture wherever they stand.
const Phrases& leaders() {
    static const Phrases p{
        "声明：",   "免责声明",  "版权声明",  "分享到",     "分享：",   "上一篇",     "下一篇",
        "上一页",   "下一页",    "相关阅读",  "相关新闻",   "相关文章", "相关推荐",   "推荐阅读",
        "热门推荐", "延伸阅读",  "扫一扫",    "扫描二维码", "关注我们", "返回顶部",   "返回首页",
        "打印本页", "关闭窗口",  "【纠错】",  "标签：",     "标签:",    "关键词：",   "关键字：",
        "Tags:",    "字号",      "【字体",    "原文链接",   "本文链接", "转载请注明", "未经授权",
        "版权所有", "Copyright", "copyright", "\xC2\xA9",   "本文为",   "网友评论",   "我要评论",
        "评论（",   "评论(",     "登录后",    "点赞",       "收藏本文", "举报",       "阅读全文",
        "查看原文",
    };
    return p;
}

// Short lines that begin so tell where an article came from and when: page
// furniture at the top or the bottom of the article, text in its middle.
const Phrases& metaLeaders() {
    static const Phrases p{
        "责任编辑", "编辑：",     "编辑:",     "来源：",     "来源:",     "作者：",   "作者:",
        "本文来源", "文章来源",   "稿件来源",  "信息来源",   "发布时间",  "发表时间", "发布日期",
        "更新时间", "时间：",     "日期：",    "浏览次数",   "阅读次数",  "点击数",   "点击：",
        "阅读：",   "（责任编辑", "(责任编辑", "【责任编辑", "[责任编辑", "记者：",   "通讯员",
        "（原标题", "(原标题",    "原标题：",  "原标题:",
    };
    return p;
}

// Words that make a short line furniture wherever they stand.
const Phrases& anywhere() {
    static const Phrases p{"版权所有",
                           "Copyright",
                           "All Rights Reserved",
                           "All rights reserved",
                           "\xC2\xA9",
                           "转载请注明",
                           "未经授权",
                           "责任编辑",
                           "ICP备",
                           "ICP证"};
    return p;
}

// The words of buttons and toolbars: a short line of nothing else is furniture.
const Phrases& buttonWords() {
    static const Phrases p{"编辑",   "锁定", "收藏", "分享", "举报",     "评论", "点赞",
                           "打印",   "关闭", "返回", "更多", "展开",     "全文", "阅读原文",
                           "阅读",   "顶",   "踩",   "回复", "复制链接", "微信", "微博",
                           "朋友圈", "字号", "大",   "中",   "小",       "赞",   "转发",
                           "关注",   "纠错", "删除", "置顶", "引用"};
    return p;
}

const Phrases& postMarkers() {
    static const Phrases p{"楼主", "沙发", "板凳", "地板", "发表于", "回复于",
                           "回复", "举报", "引用", "楼",   "#"};
    return p;
}

const Phrases& separators() {
    static const Phrases p{"_", "|", " - ", " – ", " — ", "——", "－", "｜", " -", "- ", "—"};
    return p;
}

bool startsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool hasDate(std::string_view s, bool utf8) {
    std::string year = utf8 ? "年" : cp::utf8ToGbk("年");
    for (size_t i = 0; i + 6 <= s.size(); ++i) {
        if (!(isDigit(s[i]) && isDigit(s[i + 1]) && isDigit(s[i + 2]) && isDigit(s[i + 3])))
            continue;
        size_t k = i + 4;
        if (k < s.size() && (s[k] == '-' || s[k] == '/' || s[k] == '.'))
            ++k;
        else if (s.compare(k, year.size(), year) == 0)
            k += year.size();
        else
            continue;
        if (k < s.size() && isDigit(s[k])) return true;
    }
    return false;
}

LineKind classifyLine(std::string_view text, std::uint32_t words, std::uint32_t ends, bool utf8) {
    if (words <= 60 && leaders().mayStart(text, utf8)) {
        for (const std::string& p : leaders().in(utf8))
            if (startsWith(text, p)) return LineKind::Furniture;
    }
    if (words <= 40) {
        for (const std::string& p : anywhere().in(utf8))
            if (text.find(p) != std::string_view::npos) return LineKind::Furniture;
    }
    if (words <= 60 && metaLeaders().mayStart(text, utf8)) {
        for (const std::string& p : metaLeaders().in(utf8))
            if (startsWith(text, p)) return LineKind::Meta;
    }
    if (words <= 12) {
        // Nothing but button words, blanks and punctuation.
        const auto& buttons = buttonWords().in(utf8);
        bool other = false;
        for (size_t i = 0; i < text.size() && !other;) {
            size_t skip = 0;
            for (const std::string& w : buttons)
                if (text.compare(i, w.size(), w) == 0) skip = std::max(skip, w.size());
            if (skip > 0) {
                i += skip;
                continue;
            }
            auto c = static_cast<unsigned char>(text[i]);
            other = c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
            ++i;
        }
        if (!other && !text.empty()) return LineKind::Furniture;
    }
    // A line of source and date ("2024-05-01 10:20 来源：...").
    if (words <= 30 && ends == 0 && hasDate(text, utf8)) return LineKind::Meta;
    return LineKind::Text;
}

bool isPostMarker(std::string_view text, bool utf8) {
    const auto& m = postMarkers().in(utf8);
    for (size_t k = 0; k < m.size(); ++k) {
        size_t at = text.find(m[k]);
        if (at == std::string_view::npos) continue;
        // "楼" and "#" count after a floor number ("2楼", "#3", "3#").
        if (k >= m.size() - 2) {
            bool before = at > 0 && isDigit(text[at - 1]);
            bool after = at + m[k].size() < text.size() && isDigit(text[at + m[k].size()]);
            if (!before && !(m[k] == "#" && after)) continue;
        }
        return true;
    }
    return false;
}

std::string cleanTitle(std::string_view title, bool utf8) {
    // Separators are found in UTF-8, where no byte of one is part of another character.
    if (!utf8) return cp::utf8ToGbk(cleanTitle(cp::gbkToUtf8(title), true));
    std::vector<std::string_view> parts{title};
    for (const std::string& sep : separators().in(utf8)) {
        std::vector<std::string_view> next;
        for (std::string_view part : parts) {
            size_t start = 0;
            for (;;) {
                size_t at = part.find(sep, start);
                if (at == std::string_view::npos) {
                    next.push_back(part.substr(start));
                    break;
                }
                next.push_back(part.substr(start, at - start));
                start = at + sep.size();
            }
        }
        parts = std::move(next);
    }
    // Sites put the article first ("标题_频道_网站"), a few put their name
    // first: the first part, unless a later one is far longer.
    auto trimmed = [](std::string_view p) {
        while (!p.empty() && (p.front() == ' ' || p.front() == '\t'))
            p.remove_prefix(1);
        while (!p.empty() && (p.back() == ' ' || p.back() == '\t'))
            p.remove_suffix(1);
        return p;
    };
    std::string_view best;
    for (std::string_view p : parts) {
        p = trimmed(p);
        if (best.empty() || p.size() * 2 > best.size() * 5) best = p;
    }
    // Keep blanks out of the ends.
    while (!best.empty() && (best.front() == ' ' || best.front() == '\t'))
        best.remove_prefix(1);
    while (!best.empty() && (best.back() == ' ' || best.back() == '\t'))
        best.remove_suffix(1);
    return std::string(best);
}

} // namespace html
