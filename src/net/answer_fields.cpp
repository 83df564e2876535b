#include "net/answer_fields.h"

#include "protocol/codepage.h"

namespace answers {

StringList splitGbk(std::string_view text, char sep) {
    StringList fields(1);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (cp::isGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            ++i;
        } else if (text[i] == sep) {
            fields.back().assign(text.substr(start, i - start));
            fields.emplace_back();
            start = i + 1;
        }
    }
    fields.back().assign(text.substr(start));
    return fields;
}

std::vector<std::u16string_view> splitUtf16(std::u16string_view text,
                                            std::u16string_view separator) {
    std::vector<std::u16string_view> out;
    if (text.empty()) return out;
    if (separator.empty()) return {text};
    size_t start = 0;
    for (size_t hit; (hit = text.find(separator, start)) != std::u16string_view::npos;) {
        out.push_back(text.substr(start, hit - start));
        start = hit + separator.size();
    }
    out.push_back(text.substr(start));
    return out;
}

} // namespace answers
