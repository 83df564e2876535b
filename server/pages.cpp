#include "pages.h"

#include <cstdint>

#include "protocol.h"
#include "storage.h"

namespace wycserver::pages {

namespace {

constexpr std::string_view kStyle =
    "body{font-family:'Noto Sans CJK SC','Microsoft YaHei',sans-serif;margin:2em auto;"
    "max-width:46em;padding:0 1em;color:#222;line-height:1.7}"
    "h1{font-size:1.5em;border-bottom:2px solid #3a7bd5;padding-bottom:.3em}"
    "h2{font-size:1.15em;margin-top:1.6em;color:#3a7bd5}"
    "form{background:#f5f7fa;border:1px solid #dde3ea;padding:1em 1.5em;border-radius:6px}"
    "label{display:block;margin:.6em 0 .2em}"
    "input[type=text],input[type=password]{width:20em;max-width:100%;padding:.3em}"
    "button{margin-top:1em;padding:.4em 1.6em}"
    ".good{background:#e8f6ea;border:1px solid #9fd3a8;padding:.6em 1em;border-radius:6px}"
    ".bad{background:#fdecec;border:1px solid #eda3a3;padding:.6em 1em;border-radius:6px}"
    "code.big{font-size:1.3em;letter-spacing:.1em}"
    "table{border-collapse:collapse;width:100%}td,th{border:1px solid #dde3ea;padding:.3em .5em;"
    "vertical-align:top;text-align:left}pre{white-space:pre-wrap;margin:0}";

const char* const kParagraphs[] = {
    "春天到了，城外的山坡上开满了美丽的野花。每到周末，很多市民都会带着家人去郊外踏青，"
    "感受大自然的气息。专家提醒，出游时一定要注意安全，尽量选择熟悉的路线，避免进入没有开发的山区"
    "。",
    "随着互联网的迅速发展，越来越多的人开始在网上寻找学习资料。目前，各类在线课程的数量明显增加，"
    "内容也非常丰富，但是质量参差不齐，学习者在选择时需要仔细比较。",
    "对于刚刚开始写作的人来说，最重要的方法是多读多写。经常阅读优秀的文章，可以帮助我们提高语言表达"
    "能力；"
    "坚持每天写一点，哪怕只有几百字，也能慢慢看到明显的进步。",
    "城市的发展离不开对环境的保护。近年来，许多地方建立了湿地公园，改变了过去河道脏乱的面貌。"
    "清晨的公园里非常安静，只能听见鸟儿的叫声，让人感到格外舒服。",
    "健康的生活习惯需要长期坚持。医生建议，每天保持适量运动，早睡早起，少吃油腻的食物。"
    "如果突然感到身体不适，应该立刻停止运动，必要时及时就医。",
    "家乡的小镇虽然不大，却有着悠久的历史。老街两旁是青砖灰瓦的房子，街角那家面馆已经开了三十多年，"
    "很多离开家乡的人回来时，总会特别去那里吃一碗面。",
    "团队合作是完成一个项目的关键。每个人都应该清楚自己的任务，遇到问题时及时沟通，互相协助。"
    "只有大家一起努力，才能在规定时间内取得满意的结果。",
    "读书不仅能获得知识，还能让人心情平静。在忙碌的生活中，找一个安静的角落，泡一杯清茶，"
    "翻开一本喜欢的书，是许多人最希望拥有的休闲时光。",
};
constexpr int kParagraphCount = sizeof kParagraphs / sizeof kParagraphs[0];

const char* const kTitles[] = {
    "生活随笔", "学习心得", "城市见闻", "健康小贴士", "读书札记",
};

std::uint64_t seedOf(std::string_view idText) {
    // FNV-1a over the id, so every id text gives its own article.
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : idText)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

} // namespace

std::string layout(std::string_view title, std::string_view bodyHtml) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                       "<title>";
    page += title;
    page += "</title><style>";
    page += kStyle;
    page += "</style></head><body>\n";
    page += bodyHtml;
    page += "\n</body></html>\n";
    return page;
}

std::string notice(std::string_view escapedText, bool good) {
    return std::string("<p class=\"") + (good ? "good" : "bad") + "\">" + std::string(escapedText) +
           "</p>";
}

std::string index() {
    return layout("同义词词库服务",
                  "<h1>同义词词库服务</h1>"
                  "<p>本服务为伪原创工具提供账号、积分、网络共享词库和测试提交。</p><ul>"
                  "<li><a href=\"/register.asp\">免费注册</a></li>"
                  "<li><a href=\"/findpwd.asp\">找回密码</a></li>"
                  "<li><a href=\"/tychelp.html\">使用帮助</a></li>"
                  "<li><a href=\"/post_test.asp\">测试提交记录</a></li>"
                  "<li><a href=\"/get_test.asp?id=1\">测试文章</a></li></ul>");
}

std::string help() {
    return layout(
        "使用帮助",
        "<h1>同义词替换伪原创工具 使用帮助</h1>"
        "<p>本工具把一篇文章改写成读起来像新写的“伪原创”文章：先按本地词库做同义词替换，"
        "再按需要打乱文章的段落顺序。单篇和批量都可以处理。</p>"
        "<h2>一、单篇伪原创</h2><ul>"
        "<li>把文章粘贴到“旧文章”页，按“生成原创”，结果显示在“新文章”页；"
        "按“复制新文章”把它复制到剪贴板，按“清空”清除两篇文章。</li>"
        "<li>修改词库后请在“管理词库”页按“加载词库”，替换才会用上新的词对。</li>"
        "<li>“1.同义词”：用词库中启用的词对替换文章中的原始词。</li>"
        "<li>“2.打乱文章”：在标点处把文章切成片段并重新排列，可以按设定的频率插入关键词，"
        "还可以去掉空格和换行。</li></ul>"
        "<h2>二、管理词库</h2><ul>"
        "<li>在“管理词库”页可以新增、修改、删除词对，设置是否使用，并导出选中的词。</li>"
        "<li>右键“共享它”或按“共享选中的”可以把词对共享到网络词库，每次最多共享10条。</li></ul>"
        "<h2>三、网络词库</h2><ul>"
        "<li>登录后在“词库下载”页按“浏览词库（不扣分）”查看网络词库，每页20条，最新的在前。</li>"
        "<li>把网络词对加入本地词库时，每个词扣1积分；积分为0时不能再下载。</li>"
        "<li>共享的词被收录后奖励10积分，也就是共享1个词可以下载10个词。"
        "空词、超过50个字的词、原始词和新词相同的词对以及已经收录的词不会被收录；"
        "每个账号每天最多收录100个词。</li>"
        "<li>下载和共享只对24小时内在同一网络登录过的账号计分，换了网络请重新登录。</li></ul>"
        "<h2>四、批量伪原创</h2><ul>"
        "<li>源可以是“本地源目录”中的所有.txt文件，也可以是“网络下载列表”中的网址。</li>"
        "<li>目标可以是“保存到本地”目录，也可以“提交到网络”：以表单方式提交 id 和 content "
        "两项。</li>"
        "<li>“测试提交”会向本服务的测试地址提交一条测试内容，"
        "提交记录可以在 <a href=\"/post_test.asp\">测试提交记录</a> 查看。</li></ul>"
        "<h2>五、原创度、保护词、词库体检、替换词标记</h2><ul>"
        "<li><b>原创度</b>：按“生成原创”后显示在工具栏上。计算方法：新旧文章都只保留汉字"
        "（包括GBK以外的汉字）、字母和数字，按原来的顺序排列，其余字符（标点、空格、换行等）一律去"
        "掉；"
        "新文章中每连续4个字组成一个片段（按位置计算，重复出现的片段重复计数），"
        "原创度就是这些片段中在旧文章里从未出现过的片段所占的百分比，去掉小数部分取整。"
        "新文章保留下来的字少于4个时，原创度为0%。批量伪原创结束时显示这一批文章的平均原创度。</li>"
        "<li><b>保护词</b>：在“管理词库”页下方添加。同义词替换不会改动保护词："
        "词库中的词不会匹配保护词的任何一部分，替换进来的新词也不会和旁边的保护词连成别的词；"
        "打乱文章时也不会从保护词中间切开、插入关键词。文章中的保护词按字查找，"
        "同一位置以最长的保护词为准，互相重叠的保护词一起受到保护。保护词保存在 setting.dat 中，"
        "添加或删除后立即生效。</li>"
        "<li><b>词库体检</b>：词对按编号从小到大依次替换，后面的词对处理的是前面替换过的文章，"
        "所以词库可能自相矛盾。体检检查启用的词对，对编号在前的词对甲和在后的词对乙："
        "“互相抵消”——乙的原始词出现在甲的新词中，并且把甲的新词里的乙原始词全部换成乙的新词后，"
        "正好还原成甲的原始词（A→B，又B→A）；"
        "“连锁替换”——乙的原始词出现在甲的新词中，但不属于互相抵消（A→B，又B→C，A最终变成C）；"
        "“被遮蔽”——甲的原始词出现在乙的原始词中且两者不同，甲已经先把它换掉，乙在那里永远不会生效；"
        "“原始词重复”——多个词对的原始词相同；“无效替换”——原始词和新词相同。"
        "“出现在”按整字判断，和替换时的匹配方式一致。点选一条结果可以定位到对应的词对。</li>"
        "<li><b>替换词标记</b>：不打乱文章时，新文章中由同义词替换换进来的词用底色标出；"
        "取消勾选“标记替换词”即可隐藏。标记只是显示效果，复制的仍是纯文本，"
        "修改新文章后标记消失。</li></ul>"
        "<h2>六、账号</h2><ul>"
        "<li><a href=\"/register.asp\">免费注册</a>：新账号赠送100积分。"
        "注册成功时会显示一个找回密码用的恢复码，请妥善保存。</li>"
        "<li><a href=\"/findpwd.asp\">找回密码</a>：输入账号和恢复码即可设置新密码，"
        "同时会得到一个新的恢复码。</li>"
        "<li>勾选“保存账号密码”后，账号和密码保存在程序目录的 config.txt 中。</li></ul>");
}

std::string banner() {
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>共享词库"
           "</title><style>body{margin:0;font-family:sans-serif;background:#3a7bd5;color:#fff;"
           "font-size:14px;line-height:28px;text-align:center;overflow:hidden}"
           "a{color:#ffe27a}</style></head>\n<body>共享1个词被收录奖励10积分，可以下载10个词 —— "
           "<a href=\"/register.asp\" target=\"_blank\">免费注册送100积分</a></body></html>\n";
}

std::string registerForm(std::string_view noticeHtml) {
    std::string body = "<h1>免费注册</h1>";
    body += noticeHtml;
    body += "<form method=\"post\" action=\"/register.asp\" accept-charset=\"utf-8\">"
            "<label for=\"account\">账号（1到32个字，不含空格和 &amp; = # % ? + | 等符号）</label>"
            "<input type=\"text\" id=\"account\" name=\"account\" maxlength=\"32\" required>"
            "<label for=\"password\">密码（1到64个字）</label>"
            "<input type=\"password\" id=\"password\" name=\"password\" maxlength=\"64\" required>"
            "<label for=\"password2\">再次输入密码</label>"
            "<input type=\"password\" id=\"password2\" name=\"password2\" maxlength=\"64\" "
            "required><br><button type=\"submit\">注册</button></form>"
            "<p>新账号赠送100积分。注册后会显示恢复码，忘记密码时凭它在"
            "<a href=\"/findpwd.asp\">找回密码</a>页设置新密码。</p>";
    return layout("免费注册", body);
}

std::string findPasswordForm(std::string_view noticeHtml) {
    std::string body = "<h1>找回密码</h1>";
    body += noticeHtml;
    body += "<form method=\"post\" action=\"/findpwd.asp\" accept-charset=\"utf-8\">"
            "<label for=\"account\">账号</label>"
            "<input type=\"text\" id=\"account\" name=\"account\" maxlength=\"32\" required>"
            "<label for=\"code\">恢复码（注册时显示，如 7KQ2-M9XD-4HTW-C3PF）</label>"
            "<input type=\"text\" id=\"code\" name=\"code\" maxlength=\"40\" required>"
            "<label for=\"password\">新密码（1到64个字）</label>"
            "<input type=\"password\" id=\"password\" name=\"password\" maxlength=\"64\" required>"
            "<label for=\"password2\">再次输入新密码</label>"
            "<input type=\"password\" id=\"password2\" name=\"password2\" maxlength=\"64\" "
            "required><br><button type=\"submit\">设置新密码</button></form>"
            "<p>没有恢复码就无法找回密码，可以<a href=\"/register.asp\">注册新账号</a>。</p>";
    return layout("找回密码", body);
}

std::string posts(const std::vector<StoredPost>& latest) {
    std::string body = "<h1>测试提交记录</h1><p>最近" + std::to_string(latest.size()) +
                       "条提交，最新的在前（只保留最近" + std::to_string(Storage::kKeptPosts) +
                       "条，每条只显示内容的开头）。提交地址：POST "
                       "/post_test.asp，表单字段 id 和 content。</p>";
    if (latest.empty()) {
        body += "<p>还没有提交。</p>";
    } else {
        body += "<table><tr><th>时间(UTC)</th><th>id</th><th>内容</th><th>字节</th></tr>";
        for (const auto& p : latest) {
            body += "<tr><td>" + htmlEscape(p.receivedAt) + "</td><td>" + htmlEscape(p.id) +
                    "</td><td><pre>" + htmlEscape(p.preview) + "</pre></td><td>" +
                    std::to_string(p.rawBytes) + "</td></tr>";
        }
        body += "</table>";
    }
    body += "<h2>手工提交</h2><form method=\"post\" action=\"/post_test.asp\" "
            "accept-charset=\"utf-8\"><label for=\"id\">id</label>"
            "<input type=\"text\" id=\"id\" name=\"id\"><label for=\"content\">content</label>"
            "<textarea id=\"content\" name=\"content\" rows=\"5\" cols=\"60\"></textarea><br>"
            "<button type=\"submit\">提交</button></form>";
    return layout("测试提交记录", body);
}

std::string sampleArticle(std::string_view idText) {
    std::uint64_t state = seedOf(idText);
    auto next = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((state >> 33) % 1000003);
    };
    int order[kParagraphCount];
    for (int i = 0; i < kParagraphCount; ++i)
        order[i] = i;
    for (int i = kParagraphCount - 1; i > 0; --i)
        std::swap(order[i], order[next() % (i + 1)]);
    const int count = 3 + next() % 3;
    std::string text = kTitles[next() % 5];
    const bool numeric = !idText.empty() && idText.size() <= 18 &&
                         idText.find_first_not_of("0123456789") == std::string_view::npos;
    if (numeric) text += "（第" + std::string(idText) + "篇）";
    text += "\r\n";
    for (int i = 0; i < count; ++i)
        text += std::string("　　") + kParagraphs[order[i]] + "\r\n";
    return text;
}

} // namespace wycserver::pages
