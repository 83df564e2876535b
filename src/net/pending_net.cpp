// PLACEHOLDER (replaced by the network work).
#include "app/Unit1.h"
#include "net/HTTPGet.h"

void TForm1::gotourl(const std::string&, const std::string&, std::int32_t) {}
void TForm1::gotourlPost(const std::string&, const std::string&, const std::string&) {}
void TForm1::getstr(THTTPGet*, const std::string&) {}
void TForm1::geterror(THTTPGet*) {}
void TForm1::btn3Click() {}
void TForm1::loginAnswer(Tmyhttpget&, const std::string&) {}
