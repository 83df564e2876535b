// "导出选中词库": writes the checked rows of listview1 to a text file the user
// names, one "ow,nw,是/否" line per row, at most 100 rows per export.
#include <filesystem>

#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "engine/files.h"
#include "protocol/codepage.h"
#include "thesaurus/pair_file.h"

using cp::G;

namespace {
constexpr int kExportLimit = 100;

// A name typed without an extension gets the filter's ".TXT".
std::string withDefaultExtension(std::string path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    if (path.find('.', name) == std::string::npos) path += ".TXT";
    return path;
}

// The full path to show, in GBK.
std::string fullPath(const std::string& path) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(std::filesystem::path(fsPath(path)), ec);
    return ec ? path : gbkPath(abs.string());
}
} // namespace

void TForm1::btn6Click() {
    auto chosen = m_platform.saveFile(save1.title, save1.filterName, save1.filterMask);
    if (!chosen) return;
    const std::string path = withDefaultExtension(*chosen);

    // The limit is counted over exported rows: the 101st checked row is not
    // written; it only tells that the export was cut.
    std::string bytes;
    int written = 0;
    bool cut = false;
    for (const ListItem& item : listview1.items()) {
        if (!item.checked) continue;
        if (written == kExportLimit) {
            cut = true;
            break;
        }
        bytes += pairfile::formatLine(rows::subItem(item, 0), rows::subItem(item, 1),
                                      rows::subItem(item, 2));
        ++written;
    }
    writeWholeFile(path, bytes);
    if (cut)
        lbl9.setCaption(G("导出超过了100条，请分批导出。"));
    else
        lbl9.setCaption(G("成功导出到：") + fullPath(path));
}
