// The average originality of a batch run, shown on lbl23 when the run ends.
#include "app/Unit1.h"
#include "protocol/codepage.h"

void TForm1::batchOriginalityStart() {
    m_batchOriginality = {};
    lbl23.setCaption({});
}

void TForm1::batchOriginalityAdd(const std::string& source, const std::string& result) {
    m_batchOriginality.add(engine::originality(source, result));
}

void TForm1::batchOriginalityShow() {
    if (m_batchOriginality.count() == 0) return;
    lbl23.setCaption(cp::G("平均原创度：") + std::to_string(m_batchOriginality.average()) +
                     cp::G("%（") + std::to_string(m_batchOriginality.count()) + cp::G("篇）"));
}
