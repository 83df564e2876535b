#include "thesaurus/pair_import.h"

#include "thesaurus/keyword_store.h"

ImportResult importPairs(KeywordStore& store, const std::vector<pairfile::Pair>& pairs) {
    ImportResult result;
    Transaction tx(store.db());
    auto adder = store.adder();
    for (const auto& p : pairs) {
        if (adder.addIfAbsent(p.ow, p.nw, p.isused))
            ++result.added;
        else
            result.duplicateLines.push_back(p.line);
    }
    tx.commit();
    return result;
}
