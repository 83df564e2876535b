#include "engine/regex16.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <stdexcept>

struct Regex16::Impl {
    pcre2_code* code = nullptr;
    ~Impl() {
        if (code) pcre2_code_free(code);
    }
};

Regex16::Regex16(std::u16string_view pattern, bool ignoreCase) : m_impl(std::make_unique<Impl>()) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    // Invalid UTF-16 in the subject (a lone surrogate) is matched around
    // rather than rejected.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (ignoreCase) options |= PCRE2_CASELESS;
    m_impl->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                 options, &error, &offset, nullptr);
    if (!m_impl->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, 256);
        std::string text;
        for (const PCRE2_UCHAR* p = message; *p; ++p)
            text += static_cast<char>(*p & 0x7F);
        throw std::runtime_error("regular expression cannot be created: " + text + " at offset " +
                                 std::to_string(offset));
    }
    // Compiling to machine code is an optimisation only; the interpreter
    // gives the same matches when it is not available.
    pcre2_jit_compile(m_impl->code, PCRE2_JIT_COMPLETE);
}

Regex16::~Regex16() = default;

void Regex16::forEachMatch(std::u16string_view subject,
                           const std::function<void(std::u16string_view)>& fn) const {
    struct MatchData {
        pcre2_match_data* p;
        ~MatchData() { pcre2_match_data_free(p); }
    } data{pcre2_match_data_create_from_pattern(m_impl->code, nullptr)};
    if (!data.p) throw std::bad_alloc();
    const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
    const size_t n = subject.size();
    size_t start = 0;
    while (start <= n) {
        const int rc = pcre2_match(m_impl->code, s, n, start, 0, data.p, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(rc, message, 256);
            std::string text;
            for (const PCRE2_UCHAR* p = message; *p; ++p)
                text += static_cast<char>(*p & 0x7F);
            throw std::runtime_error("regular expression failed: " + text);
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.p);
        const size_t from = ov[0], to = ov[1];
        fn(subject.substr(from, to - from));
        if (to > from) {
            start = to;
        } else {
            // Step over one whole character so an empty match cannot repeat.
            start = to + 1;
            if (to < n && subject[to] >= 0xD800 && subject[to] <= 0xDBFF && to + 1 < n &&
                subject[to + 1] >= 0xDC00 && subject[to + 1] <= 0xDFFF)
                ++start;
        }
    }
}
