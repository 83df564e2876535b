// Opening setting.dat and the full load of the thesaurus into the lists and
// the management list view.
#include "app/Unit1.h"
#include "engine/codepage.h"
#include "thesaurus/keyword_store.h"

using cp::G;

void TForm1::openDatabase() {
    // setting.dat is looked up in the working directory, not beside the program.
    Database = KeywordStore::open("setting.dat");
}

void TForm1::loadDB() {
    const int generation = ++m_loadGeneration;
    listview1.clear();
    OriginalWords.clear();
    NewWords.clear();
    m_synonymsDirty = true;
    if (!Database) throw DbError("setting.dat is not open");

    // The load reads through a statement of its own, so commands run while it
    // lets events through cannot disturb its position.
    const auto total = Database->count();
    bsSkinGauge1.setMax(static_cast<int>(total));
    bsSkinGauge1.setValue(0);
    if (total > 0) {
        const std::string yes = G("是");
        const std::string no = G("否");
        auto cursor = Database->all();
        KeywordRecord rec;
        int done = 0;
        while (cursor.next(rec)) {
            if (rec.isused) {
                OriginalWords.push_back(rec.ow);
                NewWords.push_back(rec.nw);
            }
            listview1.append({rec.id, {rec.ow, rec.nw, rec.isused ? yes : no}, false});
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
    Label1.setCaption(G("【提示信息】正在重新加载词库..."));
    loadDB();
}
