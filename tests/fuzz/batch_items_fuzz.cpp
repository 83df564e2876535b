// The pieces of a batch item and the list generator, on any line:
// - markers come off whole, however many runs appended them;
// - a result text has only CR LF breaks and ends with one;
// - an output name fits the file system (255 bytes on disk), keeps its
//   "_" + index + extension end, and names a file in the target folder (no
//   "/" and no NUL byte, which would end the name early);
// - a post body decodes back to the id and the text;
// - "生成" adds exactly the numbered lines asked for, or refuses and leaves
//   the list as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/Unit1.h"
#include "batch/items.h"
#include "engine/files.h"
#include "fuzz/fuzz_support.h"
#include "support/recording_platform.h"

namespace {

void markers(const std::string& line) {
    const std::string bare = batch::withoutMarkers(line);
    FUZZ_CHECK(batch::withoutMarkers(bare) == bare);
    FUZZ_CHECK(batch::withoutMarkers(bare + batch::doneMarker()) == bare);
    FUZZ_CHECK(batch::withoutMarkers(bare + batch::emptyMarker() + batch::doneMarker()) == bare);
}

void result(const std::string& text) {
    const std::string r = batch::resultText(text);
    FUZZ_CHECK(r.find('\0') == std::string::npos);
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (r[i] == '\r') FUZZ_CHECK(i + 1 < r.size() && r[i + 1] == '\n');
        if (r[i] == '\n') FUZZ_CHECK(i > 0 && r[i - 1] == '\r');
    }
    if (!r.empty()) FUZZ_CHECK(r.size() >= 2 && r.substr(r.size() - 2) == "\r\n");
}

void name(const std::string& line, int index, bool page) {
    const std::string end = "_" + std::to_string(index) + (page ? ".html" : ".txt");
    const std::string n = batch::outputName(line, index, page ? ".html" : ".txt");
    const std::string onDisk = fsPath(n);
    FUZZ_CHECK(onDisk.size() <= 255);
    FUZZ_CHECK(n.size() >= end.size() && n.substr(n.size() - end.size()) == end);
    FUZZ_CHECK(onDisk.find('/') == std::string::npos);
    FUZZ_CHECK(onDisk.find('\0') == std::string::npos);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string formDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%') {
            FUZZ_CHECK(i + 2 < s.size());
            const int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
            FUZZ_CHECK(hi >= 0 && lo >= 0);
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            FUZZ_CHECK(s[i] != '&' && s[i] != '=');
            out += s[i];
        }
    }
    return out;
}

void post(const std::string& id, const std::string& text) {
    const std::string body = batch::postBody(id, text);
    FUZZ_CHECK(body.rfind("id=", 0) == 0);
    const std::size_t amp = body.find("&content=");
    FUZZ_CHECK(amp != std::string::npos);
    FUZZ_CHECK(formDecoded(std::string_view(body).substr(3, amp - 3)) == id);
    FUZZ_CHECK(formDecoded(std::string_view(body).substr(amp + 9)) == text);
}

void generator(std::string pattern, const std::string& from, const std::string& to,
               std::uint8_t choices) {
    // One-line edit: a pasted break does not reach it.
    std::erase_if(pattern, [](char c) { return c == '\r' || c == '\n'; });
    static RecordingPlatform platform;
    static TForm1 form{platform, FormOptions{"/nonexistent/", 1}};
    form.mmo2.setText("old\r\nlines");
    form.lbl19.setCaption("");
    form.edt5.setText(pattern);
    form.edt6.setText(from);
    form.edt7.setText(to);
    form.bschck8.setChecked(choices & 1);
    form.bschck9.setChecked(choices & 2);
    const StringList before = form.mmo2.lines();
    form.btn12Click();
    const StringList after = form.mmo2.lines();
    if (!form.lbl19.caption().empty()) {
        FUZZ_CHECK(after == before); // refused: the list as it was
        return;
    }
    FUZZ_CHECK(pattern.find("(*)") != std::string::npos);
    const std::size_t kept = (choices & 2) ? 0 : before.size();
    FUZZ_CHECK(after.size() > kept && after.size() - kept <= 100000);
    for (std::size_t i = 0; i < kept; ++i)
        FUZZ_CHECK(after[i] == before[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t choices = in.byte();
    const int index = in.byte() * 997 + in.byte();
    const std::string line = in.field();
    markers(line);
    name(line, index, choices & 4);
    const std::string text = in.field();
    result(text);
    post(line, text);
    const std::string from = in.field(), to = in.field();
    generator(line, from, to, choices);
    return 0;
}
