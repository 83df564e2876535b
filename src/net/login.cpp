// The login box: the login command and the answer of the vendor server.
#include <algorithm>

#include "app/Unit1.h"
#include "app/vendor.h"
#include "protocol/codepage.h"
#include "net/HTTPGet.h"
#include "protocol/MD5.h"
#include "net/answer_fields.h"

using cp::G;

namespace {

// Fixed salt of the login key.
const char* const kLoginSalt = "pantile_morsund";

} // namespace

void TForm1::btn3Click() {
    const std::string account = edt2.text();
    const std::string password = bsknpswrdt1.text();
    const std::string key = MD5Hex(account + MD5Hex(password) + kLoginSalt);
    // Account and password go into the query as typed, without encoding.
    gotourl(vendor::address(vendor::kLogin) + "?qzvemail=" + account + "&qzvpassword=" + password +
                "&key=" + key,
            "login", 0);
    if (bschck5.checked()) {
        if (ConfigLines.size() < 2) ConfigLines.resize(2);
        ConfigLines[0] = account;
        ConfigLines[1] = password;
        writeConfig();
    }
}

void TForm1::loginAnswer(Tmyhttpget&, const std::string& text) {
    StringList fields = answers::splitGbk(text, '|');
    // An accepted answer reads: any text | user id | points. Anything else,
    // including an answer with too few fields or no id, is a refusal whose
    // text is shown as it came.
    if (fields.size() < 3 || fields[1].empty()) {
        LoggedIn = false;
        UserId = "0";
        LoginToken.clear();
        lbl8.setCaption(text);
        return;
    }
    LoggedIn = true;
    UserId = fields[1];
    LoginToken = fields.size() > 3 ? fields[3] : std::string();
    lbl8.setCaption(G("ID:") + UserId + G("登录成功,您拥有积分(") + fields[2] + G(")分。"));
}
