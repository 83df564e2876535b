// The window settings kept from one run to the next: the batch page's
// folders, list and choices, the tool panel's switches, keyword and frequency,
// the window's size (which the view reports) and the page shown. They live in
// a file of their own beside config.txt, which keeps exactly its two lines.
//
// The file is written whole into a new file that then replaces it, and only
// when a value differs from what it holds; the view asks every few seconds
// and at exit, so a crash loses at most the last few seconds of changes. A
// damaged file is set aside (".bad"), never overwritten, and the defaults
// stay.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <sys/stat.h>
#include <type_traits>
#include <variant>

#include "app/Unit1.h"
#include "app/settings_file.h"
#include "engine/files.h"
#include "engine/text_file.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

using Kept = std::variant<TEdit TForm1::*, TCheckBox TForm1::*, TRadioGroup TForm1::*,
                          TComboBox TForm1::*, TSlider TForm1::*, TPageControl TForm1::*,
                          int TForm1::*>;

struct Setting {
    const char* key;
    Kept member;
};

// Keys are the file's; a new setting is one more line here.
const Setting kSettings[] = {
    {"batch.source_dir", &TForm1::edt3},
    {"batch.target_dir", &TForm1::edt4},
    {"batch.list_pattern", &TForm1::edt5},
    {"batch.list_from", &TForm1::edt6},
    {"batch.list_to", &TForm1::edt7},
    {"batch.list_zero_pad", &TForm1::bschck8},
    {"batch.list_replace", &TForm1::bschck9},
    // A choice added to a radio group is kept with its index.
    {"batch.source", &TForm1::bsknrdgrp2},
    {"batch.target", &TForm1::bsknrdgrp3},
    {"batch.id_mode", &TForm1::bsknrdgrp1},
    {"batch.post_address", &TForm1::edt8},
    {"batch.html", &TForm1::cbb2},
    {"rewrite.synonyms", &TForm1::bschck4},
    {"rewrite.shuffle", &TForm1::bschck1},
    {"rewrite.strip_breaks", &TForm1::bschck2},
    {"rewrite.strip_spaces", &TForm1::bschck3},
    {"rewrite.mark_replaced", &TForm1::bschck11},
    {"rewrite.keyword", &TForm1::edt1},
    {"rewrite.html", &TForm1::cbb1},
    {"rewrite.frequency", &TForm1::bsknsldr1},
    {"window.width", &TForm1::WindowWidth},
    {"window.height", &TForm1::WindowHeight},
    {"window.page", &TForm1::bsSkinPageControl1},
};

constexpr int kLargestWindow = 100000;

std::optional<int> integer(const std::string& text, int min, int max) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end || v < min || v > max) return std::nullopt;
    return v;
}

// The value of a setting as the file holds it: texts as file-system bytes,
// so whatever the program holds comes back exactly.
std::string valueOf(const TForm1& f, const Kept& member) {
    return std::visit(
        [&](auto m) -> std::string {
            const auto& c = f.*m;
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, TEdit>)
                return cp::gbkToFs(c.text());
            else if constexpr (std::is_same_v<C, TCheckBox>)
                return c.checked() ? "1" : "0";
            else if constexpr (std::is_same_v<C, TRadioGroup> || std::is_same_v<C, TComboBox>)
                return std::to_string(c.itemIndex());
            else if constexpr (std::is_same_v<C, TSlider>)
                return std::to_string(c.position());
            else if constexpr (std::is_same_v<C, TPageControl>)
                return std::to_string(c.activePage());
            else
                return std::to_string(c);
        },
        member);
}

// Puts a value back; false, and nothing changed, when the control cannot
// take it. With `apply` false it only checks.
bool restore(TForm1& f, const Kept& member, const std::string& value, bool apply) {
    return std::visit(
        [&](auto m) -> bool {
            auto& c = f.*m;
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, TEdit>) {
                if (apply) c.setText(cp::fsToGbk(value));
                return true;
            } else if constexpr (std::is_same_v<C, TCheckBox>) {
                if (value != "0" && value != "1") return false;
                if (apply) c.setChecked(value == "1");
                return true;
            } else {
                std::optional<int> v;
                if constexpr (std::is_same_v<C, TRadioGroup> || std::is_same_v<C, TComboBox>)
                    v = integer(value, 0, static_cast<int>(c.items().size()) - 1);
                else if constexpr (std::is_same_v<C, TSlider>)
                    v = integer(value, c.min(), c.max());
                else if constexpr (std::is_same_v<C, TPageControl>)
                    v = integer(value, 0, static_cast<int>(c.captions().size()) - 1);
                else
                    v = integer(value, 0, kLargestWindow);
                if (!v) return false;
                if (!apply) return true;
                if constexpr (std::is_same_v<C, TRadioGroup> || std::is_same_v<C, TComboBox>)
                    c.setItemIndex(*v);
                else if constexpr (std::is_same_v<C, TSlider>)
                    c.setPosition(*v);
                else if constexpr (std::is_same_v<C, TPageControl>)
                    c.setActivePage(*v);
                else
                    c = *v;
                return true;
            }
        },
        member);
}

std::string settingsText(const TForm1& f) {
    settingsfile::Entries entries;
    for (const Setting& s : kSettings)
        entries.emplace_back(s.key, valueOf(f, s.member));
    return settingsfile::format(entries);
}

// The settings of the file's bytes put back, all or (damaged) none.
bool restoreAll(TForm1& f, std::string_view bytes) {
    const auto values = settingsfile::parse(bytes);
    if (!values) return false;
    // Keys this program does not know (from a later version) are passed over;
    // a setting the file lacks keeps its default.
    for (bool apply : {false, true}) {
        for (const Setting& s : kSettings) {
            const auto it = values->find(s.key);
            if (it != values->end() && !restore(f, s.member, it->second, apply)) return false;
        }
    }
    return true;
}

} // namespace

std::string TForm1::windowSettingsPath() const {
    const std::string config = configPath();
    const size_t slash = config.find_last_of('/');
    return (slash == std::string::npos ? std::string() : config.substr(0, slash + 1)) + "wyc.ini";
}

std::string TForm1::readWindowSettings() {
    const std::string path = windowSettingsPath();
    const std::string file = fsPath(path);
    std::string note;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        std::string bytes;
        bool readable = true;
        try {
            bytes = textfile::readBytes(file);
        } catch (const textfile::TextFileError&) {
            readable = false;
        }
        if (!readable) {
            note = G("【提示信息】无法读取窗口设置文件 ") + path + G("，本次使用默认设置。");
        } else if (!restoreAll(*this, bytes)) {
            // Set aside, not overwritten: the user may want to look at it.
            const bool setAside = std::rename(file.c_str(), (file + ".bad").c_str()) == 0;
            note = G("【提示信息】窗口设置文件 ") + path + G(" 已损坏，已忽略，使用默认设置") +
                   (setAside ? G("（原文件改名为 wyc.ini.bad）。") : G("。"));
        } else {
            // The ID mode follows the source, as a click on the source would leave it.
            bsknrdgrp1Click();
        }
    }
    m_savedSettings = settingsText(*this);
    return note;
}

void TForm1::saveWindowSettings() {
    if (!m_savedSettings) return; // start-up has not read the file yet
    std::string text = settingsText(*this);
    if (text == *m_savedSettings) return;
    const std::string path = windowSettingsPath();
    try {
        // Written as the bytes they are (the "GBK" form is no conversion).
        textfile::writeTextFile(fsPath(path), text, textfile::Encoding::Gbk);
        m_settingsWriteFailure.clear();
    } catch (const textfile::TextFileError& e) {
        // Noted once, not at every attempt; tried again at the next change.
        if (m_settingsWriteFailure != e.what())
            Label1.setCaption(G("【提示信息】窗口设置无法保存到 ") + path);
        m_settingsWriteFailure = e.what();
    }
    m_savedSettings = std::move(text);
}
