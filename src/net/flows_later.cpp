// Flows of the shared-thesaurus and sharing pages whose logic is not built yet.
// Their controls exist and their commands are safe to run: they do nothing.
#include "app/Unit1.h"
#include "net/HTTPGet.h"

void TForm1::sendPointsRequest(const std::string&, const std::string&) {}
void TForm1::sendShareRequest(const std::string&, const std::string&) {}
void TForm1::loadtycAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::addwordAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::sendkeywordsAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::btn1Click() {}
void TForm1::btn4Click() {}
void TForm1::btn5Click() {}
void TForm1::btn7Click() {}
void TForm1::btn2Click() {}
void TForm1::bschck6Click() {}
void TForm1::N4Click() {}
void TForm1::N5Click() {}
void TForm1::N7Click() {}
void TForm1::N6Click() {}
void TForm1::btn8Click() {}
