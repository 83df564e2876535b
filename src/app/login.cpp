// The login box: the login command, the answer of the vendor server, and the
// balance the login strip shows.
#include <algorithm>

#include "app/Unit1.h"
#include "net/HTTPGet.h"
#include "net/requests.h"
#include "net/vendor.h"
#include "net/vendor_protocol.h"
#include "protocol/codepage.h"

using cp::G;

void TForm1::btn3Click() {
    const std::string account = edt2.text();
    const std::string password = bsknpswrdt1.text();
    const std::string address = vendor::loginAddress(account, password);
    // Saved once the server accepts them: a mistyped password must not
    // replace the account that worked. Noted before the launch, whose
    // answer may arrive before it returns.
    if (bschck5.checked()) m_loginsToSave.push_back({address, account, password});
    gotourl(address, net::nameOf(net::RequestKind::Login), 0);
}

std::optional<std::pair<std::string, std::string>>
TForm1::takeLoginToSave(const std::string& address) {
    const auto it = std::find_if(m_loginsToSave.begin(), m_loginsToSave.end(),
                                 [&](const LoginToSave& l) { return l.address == address; });
    if (it == m_loginsToSave.end()) return std::nullopt;
    auto account = std::make_pair(std::move(it->account), std::move(it->password));
    m_loginsToSave.erase(it);
    return account;
}

void TForm1::loginAnswer(Tmyhttpget& request, const std::string& text) {
    const auto toSave = takeLoginToSave(request.URL);
    // A refusal's text is shown as it came.
    const auto answer = vendor::readLoginAnswer(text);
    if (!answer) {
        LoggedIn = false;
        UserId = "0";
        LoginToken.clear();
        lbl8.setCaption(text);
        return;
    }
    LoggedIn = true;
    UserId = answer->userId;
    LoginToken = answer->token;
    lbl8.setCaption(G("ID:") + UserId + G("登录成功,您拥有积分(") + answer->points + G(")分。"));
    if (!toSave) return;
    if (ConfigLines.size() < 2) ConfigLines.resize(2);
    ConfigLines[0] = toSave->first;
    ConfigLines[1] = toSave->second;
    writeConfig();
}

void TForm1::loginError(Tmyhttpget& request) {
    takeLoginToSave(request.URL);
    lbl8.setCaption(G("登录失败-服务器不能连接，请联系") + vendor::webAddress());
}

void TForm1::showPoints(const std::string& balance) {
    lbl8.setCaption(G("ID:") + UserId + G("登录成功,您当前拥有积分(") + balance + G(")分。"));
}
