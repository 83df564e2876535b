// The login box: the login command and the answer of the vendor server.
#include "app/Unit1.h"
#include "net/HTTPGet.h"
#include "net/requests.h"
#include "net/vendor_protocol.h"
#include "protocol/codepage.h"

using cp::G;

void TForm1::btn3Click() {
    const std::string account = edt2.text();
    const std::string password = bsknpswrdt1.text();
    gotourl(vendor::loginAddress(account, password), net::nameOf(net::RequestKind::Login), 0);
    if (bschck5.checked()) {
        if (ConfigLines.size() < 2) ConfigLines.resize(2);
        ConfigLines[0] = account;
        ConfigLines[1] = password;
        writeConfig();
    }
}

void TForm1::loginAnswer(Tmyhttpget&, const std::string& text) {
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
}
