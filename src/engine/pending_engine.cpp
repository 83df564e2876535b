// PLACEHOLDER (replaced by the engine work).
#include "app/Unit1.h"
#include "engine/synonyms.h"

void SynonymReplacer::build(const StringList& o, const StringList& n) {
    m_o = o;
    m_n = n;
}
std::string SynonymReplacer::apply(const std::string& text) const { return text; }
StringList TForm1::ExprTest(const std::string&, const std::string&) { return {}; }
std::string TForm1::TongYiCi(const std::string& text) { return text; }
std::string TForm1::daluan(const std::string& text) { return text; }
std::string TForm1::rewrite(const std::string& text) { return text; }
void TForm1::bsSkinXFormButton2Click() {}
