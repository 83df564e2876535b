#include "html/hints.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "html/document.h"

namespace html {
namespace {

enum class Word : std::uint8_t { Good, Bad, StrongBad, Comment, Title };

const std::unordered_map<std::string_view, Word>& words() {
    static const std::unordered_map<std::string_view, Word> table = [] {
        std::unordered_map<std::string_view, Word> m;
        for (const char* w : {"article",
                              "articles",
                              "content",
                              "contents",
                              "post",
                              "postbody",
                              "postmessage",
                              "message",
                              "entry",
                              "text",
                              "body",
                              "main",
                              "story",
                              "detail",
                              "details",
                              "zw",
                              "zhengwen",
                              "cont",
                              "con",
                              "txt",
                              "rich",
                              "markdown",
                              "paragraph",
                              "read",
                              "blog",
                              "artibody",
                              "arti",
                              "mainbody",
                              "maintext",
                              "newstext",
                              "article_content"})
            m.emplace(w, Word::Good);
        for (const char* w :
             {"head",       "header",    "meta",      "author",     "byline",     "info",
              "tool",       "tools",     "toolbar",   "link",       "links",      "more",
              "date",       "time",      "source",    "laiyuan",    "editor",     "bianji",
              "tag",        "tags",      "keywords",  "print",      "fontsize",   "zoom",
              "position",   "location",  "weizhi",    "dangqian",   "topbar",     "logo",
              "search",     "login",     "signin",    "register",   "subscribe",  "newsletter",
              "qrcode",     "erweima",   "prev",      "next",       "prenext",    "disclaimer",
              "statement",  "shengming", "toc",       "catalog",    "mulu",       "reference",
              "references", "reflist",   "noprint",   "friend",     "friendlink", "popup",
              "modal",      "cookie",    "rank",      "ranking",    "paihang",    "hot",
              "hotnews",    "top10",     "list2",     "pages",      "pager",      "page",
              "bottom",     "crumbs",    "crumb",     "mianbaoxie", "extra",      "userinfo",
              "avatar",     "profile",   "signature", "sign",       "caption"})
            m.emplace(w, Word::Bad);
        for (const char* w :
             {"nav",         "navbar",    "navigation",    "navbox",      "menu",
              "menus",       "submenu",   "breadcrumb",    "breadcrumbs", "sidebar",
              "side",        "aside",     "widget",        "widgets",     "footer",
              "foot",        "copyright", "banquan",       "ad",          "ads",
              "adv",         "advert",    "advertisement", "gg",          "guanggao",
              "sponsor",     "sponsored", "promo",         "promotion",   "banner",
              "share",       "sharing",   "bdshare",       "jiathis",     "social",
              "sns",         "related",   "relate",        "relative",    "xgwz",
              "xgyd",        "xiangguan", "recommend",     "recommended", "tuijian",
              "pagination",  "pagenav",   "editsection",   "footnote",    "footnotes",
              "shangyipian", "xiayipian", "infobox",       "ambox",       "mbox",
              "hatnote",     "catlinks",  "printfooter"})
            m.emplace(w, Word::StrongBad);
        for (const char* w :
             {"comment", "comments", "cmt", "reply", "replies", "respond", "tie", "discuss",
              "pinglun", "gentie", "guestbook", "liuyan", "review", "reviews"})
            m.emplace(w, Word::Comment);
        for (const char* w : {"title", "headline", "biaoti", "tit", "heading"})
            m.emplace(w, Word::Title);
        return m;
    }();
    return table;
}

bool prefixed(std::string_view w, Word& kind) {
    struct P {
        const char* prefix;
        Word kind;
    };
    static const P prefixes[] = {
        {"comment", Word::Comment},      {"reply", Word::Comment},
        {"recommend", Word::StrongBad},  {"related", Word::StrongBad},
        {"share", Word::StrongBad},      {"sidebar", Word::StrongBad},
        {"footer", Word::StrongBad},     {"copyright", Word::StrongBad},
        {"breadcrumb", Word::StrongBad}, {"advert", Word::StrongBad},
        {"pagination", Word::StrongBad}, {"nav", Word::StrongBad},
        {"menu", Word::StrongBad},       {"banner", Word::StrongBad},
        {"sponsor", Word::StrongBad},    {"widget", Word::StrongBad},
        {"hotnews", Word::Bad},          {"article", Word::Good},
        {"content", Word::Good},         {"title", Word::Title},
    };
    for (const P& p : prefixes) {
        std::string_view pre(p.prefix);
        if (w.size() > pre.size() && w.substr(0, pre.size()) == pre) {
            kind = p.kind;
            return true;
        }
    }
    return false;
}

void classify(std::string_view names, bool& strongBad, bool& comment, int& last, bool& title) {
    char word[32];
    size_t len = 0;
    bool tooLong = false;
    auto flush = [&] {
        if (len == 0 || tooLong) {
            len = 0;
            tooLong = false;
            return;
        }
        std::string_view w(word, len);
        len = 0;
        Word kind;
        auto it = words().find(w);
        bool known = it != words().end();
        if (known)
            kind = it->second;
        else
            known = prefixed(w, kind);
        if (!known) return;
        switch (kind) {
        case Word::Good:
            last = 1;
            break;
        case Word::Bad:
            last = -1;
            break;
        case Word::StrongBad:
            strongBad = true;
            break;
        case Word::Comment:
            comment = true;
            break;
        case Word::Title:
            title = true;
            break;
        }
    };
    char prev = 0;
    for (char c : names) {
        bool lowerC = c >= 'a' && c <= 'z', upperC = c >= 'A' && c <= 'Z',
             digit = c >= '0' && c <= '9';
        if (!lowerC && !upperC && !digit) {
            flush();
        } else {
            // "newsList": a capital after a small letter starts a word.
            if (upperC && prev >= 'a' && prev <= 'z') flush();
            if (len < sizeof word)
                word[len++] = upperC ? static_cast<char>(c + 32) : c;
            else
                tooLong = true;
        }
        prev = c;
    }
    flush();
}

} // namespace

std::uint8_t hintOf(std::string_view cls, std::string_view id) {
    if (cls.empty() && id.empty()) return 0;
    bool strongBad = false, comment = false, title = false;
    int last = 0;
    classify(cls, strongBad, comment, last, title);
    classify(id, strongBad, comment, last, title);
    std::uint8_t hint = 0;
    if (comment) hint |= kHintComment | kHintBad;
    if (strongBad) hint |= kHintBad;
    if (!strongBad && !comment) {
        if (last > 0) hint |= kHintGood;
        if (last < 0) hint |= kHintBad;
    }
    if (title) hint |= kHintTitle;
    return hint;
}

bool styleHides(std::string_view style) {
    if (style.empty()) return false;
    std::string s;
    s.reserve(style.size());
    for (char c : style)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            s += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    // visibility:hidden is left out: pages that show their article by
    // script start it so.
    return s.find("display:none") != std::string::npos;
}

} // namespace html
