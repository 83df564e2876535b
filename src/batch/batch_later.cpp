// Commands of the batch run. The run itself is not built yet; its commands
// are safe to run.
#include "app/Unit1.h"
#include "net/HTTPGet.h"

void TForm1::getcontentAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::PostSendAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::btn11Click() {}
