// Commands of the batch page. The batch run itself is not built yet; its
// controls exist and their commands are safe to run.
#include "app/Unit1.h"
#include "net/HTTPGet.h"

void TForm1::getcontentAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::PostSendAnswer(Tmyhttpget&, const std::string&) {}
void TForm1::btn11Click() {}
void TForm1::btn12Click() {}
void TForm1::btn14Click() {}
void TForm1::btn9Click() {}
void TForm1::btn10Click() {}
void TForm1::btn13Click() {}
void TForm1::bsknrdgrp2Click() {}
void TForm1::bsknrdgrp1Click() {}

// The link labels of the page open what their edits hold.
void TForm1::edt4Change() {
    lbl20.setAddress(edt4.text());
}
void TForm1::edt8Change() {
    lbl21.setAddress(edt8.text());
}
