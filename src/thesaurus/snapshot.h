#pragma once
// The thesaurus of a setting.dat as a rewrite uses it, for the front ends
// that rewrite without a window (wyc-cli, the rewrite service): the pairs in
// use by ascending id, and the protected words.
#include <memory>
#include <string>

#include "engine/pipeline.h"
#include "engine/stringlist.h"

class KeywordStore;

namespace thesaurus {

struct StoredWords {
    StringList originals;    // the pairs in use, by ascending id
    StringList replacements;
    StringList protectedWords;
};

StoredWords readWords(KeywordStore& store);

// Opens the file and reads it; `extraProtected` are added to its protected
// words. Throws DbError (or std::runtime_error) when the file cannot be read.
std::shared_ptr<const engine::Thesaurus> loadThesaurus(const std::string& fsPath,
                                                       const StringList& extraProtected = {});

} // namespace thesaurus
