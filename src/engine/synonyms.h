#pragma once
// PLACEHOLDER (replaced by the engine work): synonym replacement over the pairs.
#include <string>

#include "engine/stringlist.h"

class SynonymReplacer {
public:
    void build(const StringList& originals, const StringList& replacements);
    std::string apply(const std::string& text) const;

private:
    StringList m_o, m_n;
};
