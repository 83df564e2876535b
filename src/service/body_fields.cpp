#include "service/body_fields.h"

#include "service/json_fields.h"

namespace service {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The parameters of a header value after its first ";": name=value or
// name="value" (with backslash escapes), names in lower case.
template <class F> void forEachParameter(std::string_view h, F&& take) {
    constexpr auto npos = std::string_view::npos;
    size_t i = h.find(';');
    while (i != npos && i < h.size()) {
        ++i;
        size_t eq = i;
        while (eq < h.size() && h[eq] != '=' && h[eq] != ';')
            ++eq;
        if (eq >= h.size() || h[eq] == ';') {
            i = eq;
            continue;
        }
        const std::string name = asciiLower(trim(h.substr(i, eq - i)));
        size_t j = eq + 1;
        while (j < h.size() && (h[j] == ' ' || h[j] == '\t'))
            ++j;
        std::string value;
        if (j < h.size() && h[j] == '"') {
            for (++j; j < h.size() && h[j] != '"'; ++j) {
                if (h[j] == '\\' && j + 1 < h.size()) ++j;
                value += h[j];
            }
            j = h.find(';', j);
        } else {
            const size_t end = h.find(';', j);
            value = trim(h.substr(j, end == npos ? npos : end - j));
            j = end;
        }
        take(name, value);
        i = j;
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 &&
                   hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// multipart/form-data: parts between "--boundary" lines, each with headers,
// a blank line and its bytes. A part's name comes from its
// Content-Disposition; a file part counts like any other field.
std::optional<RequestError> appendMultipart(std::string_view body, const std::string& boundary,
                                            Fields& out) {
    const RequestError bad{ApiError::BadBody, "multipart"};
    if (boundary.empty()) return bad;
    const std::string delimiter = "--" + boundary;
    const std::string between = "\r\n" + delimiter;
    size_t at = body.find(delimiter);
    // The first delimiter opens the body or follows a line break.
    if (at == std::string_view::npos || (at != 0 && (at < 2 || body.substr(at - 2, 2) != "\r\n")))
        return bad;
    at += delimiter.size();
    for (;;) {
        if (body.substr(at, 2) == "--") return std::nullopt; // the closing delimiter
        const size_t lineEnd = body.find("\r\n", at);
        if (lineEnd == std::string_view::npos) return bad;
        const size_t headersEnd = body.find("\r\n\r\n", lineEnd);
        if (headersEnd == std::string_view::npos) return bad;
        const size_t dataStart = headersEnd + 4;
        // The part's bytes end at the next delimiter after them (the blank
        // line's own break is no part of one).
        const size_t dataEnd = body.find(between, dataStart);
        if (dataEnd == std::string_view::npos) return bad;
        std::string name;
        bool named = false;
        std::string_view headers = body.substr(lineEnd + 2, headersEnd + 2 - (lineEnd + 2));
        while (!headers.empty()) {
            const size_t end = headers.find("\r\n");
            const std::string_view line = headers.substr(0, end);
            headers.remove_prefix(end == std::string_view::npos ? headers.size() : end + 2);
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos ||
                asciiLower(trim(line.substr(0, colon))) != "content-disposition")
                continue;
            forEachParameter(line, [&](const std::string& key, const std::string& value) {
                if (key == "name") name = value, named = true;
            });
        }
        if (named) out.push_back({name, std::string(body.substr(dataStart, dataEnd - dataStart))});
        at = dataEnd + between.size();
    }
}

} // namespace

ContentType parseContentType(std::string_view header) {
    ContentType type;
    type.media = asciiLower(trim(header.substr(0, header.find(';'))));
    forEachParameter(header, [&](const std::string& name, const std::string& value) {
        if (name == "charset")
            type.charset = value;
        else if (name == "boundary")
            type.boundary = value;
    });
    return type;
}

BodyKind bodyKindOf(const ContentType& type) {
    const std::string& m = type.media;
    if (m.empty()) return BodyKind::None;
    if (m == "application/x-www-form-urlencoded") return BodyKind::Form;
    if (m == "multipart/form-data") return BodyKind::Multipart;
    if (m == "application/json" || (m.size() > 5 && m.ends_with("+json"))) return BodyKind::Json;
    if (m == "text/plain") return BodyKind::Plain;
    return BodyKind::Unsupported;
}

void appendFormFields(std::string_view s, Fields& out) {
    while (!s.empty()) {
        const size_t amp = s.find('&');
        const std::string_view pair = s.substr(0, amp);
        s.remove_prefix(amp == std::string_view::npos ? s.size() : amp + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        out.push_back(
            {percentDecode(pair.substr(0, eq)),
             eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1))});
    }
}

std::optional<RequestError> appendBodyFields(const ContentType& type, std::string&& body,
                                             Fields& out) {
    switch (bodyKindOf(type)) {
    case BodyKind::None:
        if (body.empty()) return std::nullopt;
        return RequestError{ApiError::UnsupportedType, {}};
    case BodyKind::Form:
        appendFormFields(body, out);
        return std::nullopt;
    case BodyKind::Multipart:
        return appendMultipart(body, type.boundary, out);
    case BodyKind::Json:
        return appendJsonFields(body, out);
    case BodyKind::Plain:
        if (!body.empty()) out.push_back({"content", std::move(body)});
        return std::nullopt;
    case BodyKind::Unsupported:
        break;
    }
    return RequestError{ApiError::UnsupportedType, type.media};
}

} // namespace service
