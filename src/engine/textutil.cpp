#include "engine/textutil.h"

#include "protocol/codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

namespace {

using cp::isGbkLead;

} // namespace

StringList SplitString(std::string_view text, std::string_view separator) {
    StringList out;
    if (text.empty()) return out;
    if (separator.empty()) {
        out.emplace_back(text);
        return out;
    }
    size_t start = 0;
    for (;;) {
        size_t hit = text.find(separator, start);
        if (hit == std::string_view::npos) break;
        out.emplace_back(text.substr(start, hit - start));
        start = hit + separator.size();
    }
    out.emplace_back(text.substr(start));
    return out;
}

namespace textutil {

void findOccurrences(std::string_view text, std::string_view pattern,
                     std::vector<size_t>& positions) {
    const size_t n = text.size(), m = pattern.size();
    if (m == 0 || n < m) return;
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    size_t boundary = 0; // a character boundary of `text`
    size_t from = 0;     // where the search for the next occurrence starts
    for (;;) {
        // Find the bytes first (fast when they are absent, as most words
        // are), then walk the character boundaries up to them.
        const size_t q = text.find(pattern, from);
        if (q == std::string_view::npos) break;
        while (boundary < q)
            boundary += cp::charLength(t, boundary, n);
        if (boundary != q) {
            from = q + 1;
            continue;
        }
        positions.push_back(q);
        from = q + m;
    }
}

size_t replaceInto(std::string_view text, std::string_view pattern, std::string_view replacement,
                   std::string& out, std::vector<size_t>* sites) {
    // Find every occurrence first, so the output is sized once.
    thread_local std::vector<size_t> found;
    found.clear();
    findOccurrences(text, pattern, found);
    if (found.empty()) {
        out.append(text);
        return 0;
    }
    const size_t n = text.size(), m = pattern.size();
    out.reserve(out.size() + n - found.size() * m + found.size() * replacement.size());
    size_t copied = 0; // bytes of `text` already written to `out`
    for (size_t q : found) {
        out.append(text.data() + copied, q - copied);
        if (sites) sites->push_back(out.size());
        out.append(replacement);
        copied = q + m;
    }
    out.append(text.data() + copied, n - copied);
    return found.size();
}

bool replaceInPlace(std::string& text, std::string_view pattern, std::string_view replacement) {
    if (pattern.empty() || text.find(pattern) == std::string::npos) return false;
    std::string out;
    if (replaceInto(text, pattern, replacement, out) == 0) return false;
    text.swap(out);
    return true;
}

bool holdsFourByteHalf(std::string_view bytes) {
    for (size_t i = 0; i + 1 < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!isGbkLead(b)) {
            ++i;
            continue;
        }
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second >= 0x30 && second <= 0x39) return true;
        i += 2;
    }
    return false;
}

bool endsOnCharBoundary(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size())
        i += isGbkLead(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    return i == bytes.size();
}

} // namespace textutil

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
    std::string out;
    out.reserve(text.size());
    textutil::replaceInto(text, pattern, replacement, out);
    return out;
}

std::string UrlEncode(std::string_view text, bool spaceAsPlus) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_') {
            out += ch;
        } else if (b == ' ' && spaceAsPlus) {
            out += '+';
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    auto fail = [&path](int err) {
        std::error_code ec;
        auto full = std::filesystem::absolute(path, ec);
        const std::string shown = ec ? path : full.string();
        return std::runtime_error("Cannot open file \"" + shown + "\". " + std::strerror(err));
    };
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw fail(errno);
    std::string data;
    // The size is only a hint: the file is read to its end, so a file that
    // grows or reports no size (a pipe, /proc) is still read whole.
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            std::fclose(f);
            throw fail(EISDIR);
        }
        if (S_ISREG(st.st_mode) && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[65536];
    for (;;) {
        size_t got = std::fread(buf, 1, sizeof buf, f);
        data.append(buf, got);
        if (got < sizeof buf) break;
    }
    const bool bad = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (bad) throw fail(err);
    return data;
}
