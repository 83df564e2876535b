#include "account_pages.h"

#include "abuse_limits.h"
#include "pages.h"
#include "passwords.h"
#include "protocol/codepage.h"
#include "storage.h"

namespace wycserver {

namespace {

constexpr std::size_t kMaxAccountChars = 32;
constexpr std::size_t kMaxPasswordChars = 64;

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool hasControl(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f) return true;
    return false;
}

bool fitsGbk(std::string_view utf8) {
    return cp::fitsGbk(utf8);
}

// A form field as UTF-8: browsers send UTF-8; GBK from older clients is read as GBK.
std::string field(const FormFields& form, std::string_view name) {
    return displayText(formValue(form, name).value_or(std::string()));
}

std::string recoveryCodeHtml(const std::string& code) {
    return "<p>恢复码：<code class=\"big\">" + htmlEscape(code) +
           "</code></p><p>请记下这个恢复码，忘记密码时凭它在<a href=\"/findpwd.asp\">找回密码</a>"
           "页设置新密码。它只显示这一次。</p>";
}

} // namespace

std::optional<std::string> accountNameProblem(std::string_view utf8) {
    if (utf8.empty()) return "请输入账号";
    if (characterCount(utf8) > kMaxAccountChars)
        return "账号最多" + std::to_string(kMaxAccountChars) + "个字";
    if (hasControl(utf8) || utf8.find_first_of(" \t&=#%?+|") != std::string_view::npos ||
        utf8.find("　") != std::string_view::npos)
        return "账号不能含有空格和 & = # % ? + | 等符号";
    if (!fitsGbk(utf8)) return "账号含有客户端无法输入的字符";
    return std::nullopt;
}

std::optional<std::string> passwordProblem(std::string_view utf8) {
    if (utf8.empty()) return "请输入密码";
    if (characterCount(utf8) > kMaxPasswordChars)
        return "密码最多" + std::to_string(kMaxPasswordChars) + "个字";
    if (hasControl(utf8)) return "密码不能含有控制字符";
    if (!fitsGbk(utf8)) return "密码含有客户端无法输入的字符";
    return std::nullopt;
}

std::string AccountPages::signUp(const FormFields& form, const std::string& clientAddress,
                                 const std::string& request) {
    const std::string account = field(form, "account");
    const std::string password = field(form, "password");
    const auto again = formValue(form, "password2");
    auto refuse = [](const std::string& why) {
        return pages::registerForm(pages::notice(htmlEscape("注册失败：" + why), false));
    };
    if (auto why = accountNameProblem(account)) return refuse(*why);
    if (auto why = passwordProblem(password)) return refuse(*why);
    if (again && displayText(*again) != password) return refuse("两次输入的密码不一致");
    // A taken name is refused before the hashing; the allowance counts only
    // sign-ups that get as far as hashing.
    if (m_storage.findAccount(account)) return refuse("账号“" + account + "”已被注册");
    if (!m_limits.takeSignUp(clientAddress))
        return refuse("这个网络地址一小时内注册的账号太多，请稍后再试");
    const std::string code = newRecoveryCode();
    const auto created = m_storage.createAccount(
        account, hashPassword(password), hashPassword(normaliseRecoveryCode(code)), request);
    if (!created) return refuse("账号“" + account + "”已被注册");
    const std::string body =
        "<h1>注册成功</h1>" +
        pages::notice(htmlEscape("账号：" + account + "，用户ID：" + std::to_string(created->id) +
                                 "，赠送积分：" + std::to_string(created->points) + "。"),
                      true) +
        recoveryCodeHtml(code) + "<p>现在可以在工具的“用户登录”中用这个账号登录。</p>";
    return pages::layout("注册成功", body);
}

std::string AccountPages::recover(const FormFields& form, const std::string& clientAddress) {
    const std::string account = field(form, "account");
    const std::string code = normaliseRecoveryCode(field(form, "code"));
    const std::string password = field(form, "password");
    const auto again = formValue(form, "password2");
    auto refuse = [](const std::string& why) {
        return pages::findPasswordForm(pages::notice(htmlEscape("找回失败：" + why), false));
    };
    if (account.empty() || code.empty()) return refuse("请输入账号和恢复码");
    if (auto why = passwordProblem(password)) return refuse(*why);
    if (again && displayText(*again) != password) return refuse("两次输入的密码不一致");
    // Wrong recovery codes are limited like wrong passwords, by the account
    // they name and by the network they come from.
    const auto found = m_storage.findAccount(account);
    const std::string key = found ? std::to_string(found->id) : "";
    if (found && m_limits.loginBlocked(key, clientAddress))
        return refuse("错误次数过多，请10分钟后再试");
    if (m_limits.takeGuess(key, clientAddress) != GuessCheck::Allowed)
        return refuse("错误次数过多，请10分钟后再试");
    // The same answer, after the same work, for an unknown account and a wrong code.
    static const std::string unknown = hashPassword("no account has this code");
    const bool right =
        code.size() <= 64 && verifyPassword(code, found ? found->recoveryHash : unknown);
    if (!found || !right) {
        if (found) m_limits.loginFailed(key, clientAddress);
        return refuse("账号或恢复码不正确");
    }
    m_limits.guessSucceeded(key, clientAddress);
    const std::string newCode = newRecoveryCode();
    m_storage.setPassword(found->id, hashPassword(password),
                          hashPassword(normaliseRecoveryCode(newCode)));
    const std::string body =
        "<h1>密码已重新设置</h1>" +
        pages::notice(htmlEscape("账号“" + account + "”的新密码已经生效。旧的恢复码已作废。"),
                      true) +
        recoveryCodeHtml(newCode);
    return pages::layout("密码已重新设置", body);
}

} // namespace wycserver
