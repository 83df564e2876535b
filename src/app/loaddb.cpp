// Opening setting.dat and the full load of the thesaurus into the lists and
// the management list view.
#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "protocol/codepage.h"
#include "thesaurus/data_location.h"
#include "thesaurus/keyword_store.h"

using cp::G;

std::string TForm1::openDatabase() {
    // setting.dat of the working directory, else the user's own (made on the first start).
    datafile::Opened opened = datafile::open(datafile::placesFor(cp::gbkToFs(ProgramDir())));
    Database = std::move(opened.store);
    const bool made = opened.where.origin == datafile::Origin::MadeFromStarter;
    return made ? datafile::madeNote(opened.where) : std::string();
}

void TForm1::loadDB() {
    const int generation = ++m_loadGeneration;
    listview1.clear();
    OriginalWords.clear();
    NewWords.clear();
    m_synonymsDirty = true;
    if (!Database) throw DbError("setting.dat is not open");

    // All records are read before any event runs, so a command run meanwhile
    // cannot make the load list a record twice or pass the gauge's maximum.
    const std::vector<KeywordRecord> records = Database->readAll();
    bsSkinGauge1.setMax(static_cast<int>(records.size()));
    bsSkinGauge1.setValue(0);
    if (!records.empty()) {
        int done = 0;
        for (const KeywordRecord& rec : records) {
            if (rec.isused) {
                OriginalWords.push_back(rec.ow);
                NewWords.push_back(rec.nw);
            }
            const int row = rows::loadPosition(listview1, rec.id);
            if (row >= 0) listview1.insert(row, rows::rowOf(rec));
            bsSkinGauge1.setValue(++done);
            m_platform.processEvents();
            // A reload started meanwhile has loaded the whole table again; the
            // lists already hold one complete copy, so this load ends here.
            if (generation != m_loadGeneration) return;
        }
        listview1.repaint();
    }
    loadProtectedWords();
    ThesaurusLoaded = true;
    Label1.setCaption(G("【提示信息】初始化完毕，您现在可以使用软件替换文章了"));
}

void TForm1::bsSkinXFormButton4Click() {
    ThesaurusLoaded = false;
    // The tool panel says the replacement is ready again; the page the
    // button is on says so too.
    const std::string loading = G("【提示信息】正在重新加载词库...");
    Label1.setCaption(loading);
    lbl9.setCaption(loading);
    loadDB();
    if (ThesaurusLoaded)
        lbl9.setCaption(G("【提示信息】词库加载完毕，共") + std::to_string(listview1.count()) +
                        G("个词对。"));
}
