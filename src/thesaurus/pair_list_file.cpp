#include "thesaurus/pair_list_file.h"

#include "engine/text_file.h"

namespace pairfile {

ListFile parseList(std::string bytes, std::optional<Encoding> given) {
    ListFile out;
    Encoding encoding = given.value_or(Encoding::Gbk);
    switch (textfile::detectEncoding(bytes)) {
    case textfile::Encoding::Utf16Le:
    case textfile::Encoding::Utf16Be:
        // Decoded to the program's text, which parse() reads as GBK.
        bytes = textfile::decode(bytes, textfile::detectEncoding(bytes));
        encoding = Encoding::Gbk;
        out.readAs = ReadAs::Utf16ByMark;
        break;
    case textfile::Encoding::Utf8Bom:
        encoding = Encoding::Utf8;
        out.readAs = ReadAs::Utf8ByMark;
        break;
    case textfile::Encoding::Utf8:
        if (!given) {
            encoding = Encoding::Utf8;
            out.readAs = ReadAs::Utf8Detected;
        }
        break;
    case textfile::Encoding::Gbk:
        break;
    }
    out.parsed = parse(bytes, encoding);
    return out;
}

ListFile readList(const std::string& fsPath, std::optional<Encoding> given, bool allowStdin) {
    return parseList(textfile::readBytes(fsPath, allowStdin), given);
}

} // namespace pairfile
