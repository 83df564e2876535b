#include "app/settings_file.h"

namespace settingsfile {

namespace {

std::string escaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        switch (value[i]) {
        case '\\':
            out += '\\';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

std::string format(const Entries& entries) {
    std::string out(kHeader);
    out += '\n';
    for (const auto& [key, value] : entries)
        out += key + "=" + escaped(value) + "\n";
    return out;
}

std::optional<std::map<std::string, std::string>> parse(std::string_view bytes) {
    std::map<std::string, std::string> out;
    bool first = true;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) {
            if (line != kHeader) return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        const size_t eq = line.find('=');
        if (eq == 0 || eq == std::string_view::npos) return std::nullopt;
        auto value = unescaped(line.substr(eq + 1));
        if (!value) return std::nullopt;
        if (!out.emplace(std::string(line.substr(0, eq)), std::move(*value)).second)
            return std::nullopt;
    }
    if (first) return std::nullopt; // empty: not even the header
    return out;
}

} // namespace settingsfile
