// The start-up sequence of the main window.
#include "app/Unit1.h"
#include "net/vendor.h"
#include "protocol/UnitAES.h"
#include "protocol/codepage.h"

void TForm1::FormCreate() {
    bool databaseFailed = false;
    run([&] {
        OriginalWords.clear();
        NewWords.clear();
        MatchList.clear();
        UserId = std::string("9");
        Cipher = std::make_unique<TAes>();
        edt3.setText(ProgramDir() + "input");
        edt4.setText(ProgramDir() + "output");
        bsSelDir1.initialDir = ProgramDir();
        readConfigAtStartup();
        try {
            openDatabase();
        } catch (const std::exception&) {
            databaseFailed = true;
            return;
        }
        loadDB();
        wb1.navigate(vendor::address(vendor::kHelpPage));
        WebBrowser1.navigate(vendor::address(vendor::kBanner));
    });
    if (databaseFailed) {
        m_platform.showMessage(cp::G("文件不完整“setting.dat”不存在"));
        m_platform.terminate(1);
    }
}
