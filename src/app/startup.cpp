// The start-up sequence of the main window.
#include "app/Unit1.h"
#include "net/vendor.h"
#include "protocol/UnitAES.h"
#include "protocol/codepage.h"
#include "thesaurus/data_location.h"

void TForm1::FormCreate() {
    std::string databaseFailure;
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
        // What the user set last time replaces the defaults above.
        const std::string settingsNote = readWindowSettings();
        std::string firstStartNote;
        try {
            firstStartNote = openDatabase();
        } catch (const datafile::DataFileError& e) {
            databaseFailure = datafile::failureText(e);
            return;
        } catch (const std::exception&) {
            databaseFailure = cp::G("文件不完整“setting.dat”不存在");
            return;
        }
        loadDB();
        const std::string notes = firstStartNote +
                                  (firstStartNote.empty() || settingsNote.empty() ? "" : " ") +
                                  settingsNote;
        if (!notes.empty()) Label1.setCaption(notes);
        wb1.navigate(vendor::address(vendor::kHelpPage));
        WebBrowser1.navigate(vendor::address(vendor::kBanner));
    });
    if (!databaseFailure.empty()) {
        m_platform.showMessage(databaseFailure);
        m_platform.terminate(1);
    }
}
