#include "thesaurus/tab_pairs.h"

#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

namespace tabpairs {

Parsed parse(std::string_view utf8) {
    Parsed parsed;
    int lineNo = 0;
    for (const std::string& line : linesOf(utf8)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size()) {
            parsed.malformed.push_back(lineNo);
            continue;
        }
        parsed.originals.push_back(cp::utf8ToGbk(line.substr(0, tab)));
        parsed.replacements.push_back(cp::utf8ToGbk(line.substr(tab + 1)));
        parsed.lines.push_back(lineNo);
    }
    return parsed;
}

void createStore(const std::string& fsPath, const Parsed& parsed) {
    auto store = KeywordStore::create(fsPath);
    Transaction tx(store->db());
    for (size_t k = 0; k < parsed.originals.size(); ++k)
        store->append(parsed.originals[k], parsed.replacements[k], true);
    tx.commit();
}

} // namespace tabpairs
