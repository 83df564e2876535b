#include "thesaurus/snapshot.h"

#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"

namespace thesaurus {

StoredWords readWords(KeywordStore& store) {
    StoredWords words;
    auto cursor = store.all();
    for (KeywordRecord rec; cursor.next(rec);) {
        if (!rec.isused) continue;
        words.originals.push_back(std::move(rec.ow));
        words.replacements.push_back(std::move(rec.nw));
    }
    words.protectedWords = protect::list(store.db());
    return words;
}

std::shared_ptr<const engine::Thesaurus> loadThesaurus(const std::string& fsPath,
                                                       const StringList& extraProtected) {
    auto store = KeywordStore::open(fsPath);
    StoredWords words = readWords(*store);
    for (const std::string& word : extraProtected)
        words.protectedWords.push_back(word);
    return engine::Thesaurus::make(words.originals, words.replacements, words.protectedWords);
}

} // namespace thesaurus
