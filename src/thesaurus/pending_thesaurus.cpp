// PLACEHOLDER (replaced by the local-thesaurus work).
#include "app/Unit1.h"

void TForm1::addKeyWord(const std::string&, const std::string&, bool, const std::string&) {}
void TForm1::EditKeyWord(int, const std::string&, const std::string&, const std::string&, bool) {}
void TForm1::DeleteKeyWord(int, const std::string&) {}
void TForm1::IsusedKeyWord(int, const std::string&) {}
void TForm1::N1Click() {}
void TForm1::N2Click() {}
void TForm1::N3Click() {}
void TForm1::bsSkinXFormButton3Click() {}
void TForm1::bsSkinXFormButton5Click() {}
void TForm1::bsSkinXFormButton6Click() {}
void TForm1::bschck7Click() {}
void TForm1::btn6Click() {}
