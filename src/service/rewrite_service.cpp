#include "service/rewrite_service.h"

#include <arpa/inet.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <fstream>
#include <stdexcept>

#include "service/body_fields.h"
#include "service/page.h"
#include "service/rewrite_answer.h"

namespace service {

namespace {

const std::vector<std::pair<std::string, std::string>> kPageHeaders = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
     "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-cache"},
};

Response asset(const char* type, const char* body) {
    return {200, type, body, kPageHeaders};
}

Response refusal(const RequestError& e) {
    return {statusOf(e.error),
            "application/json; charset=utf-8",
            errorJson(e.error, e.detail),
            {{"Cache-Control", "no-store"}}};
}

// The token of "Authorization: Bearer TOKEN", when the header has that form.
std::optional<std::string_view> bearerToken(std::string_view header) {
    constexpr std::string_view scheme = "bearer ";
    if (header.size() < scheme.size()) return std::nullopt;
    for (size_t i = 0; i < scheme.size(); ++i)
        if ((header[i] | 0x20) != scheme[i]) return std::nullopt;
    header.remove_prefix(scheme.size());
    while (!header.empty() && header.front() == ' ')
        header.remove_prefix(1);
    return header;
}

} // namespace

bool isLoopback(const std::string& address) {
    if (address == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

std::string readTokenFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the token file " + path);
    std::string line;
    std::getline(in, line);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.empty() && blank(line.back()))
        line.pop_back();
    size_t start = 0;
    while (start < line.size() && blank(line[start]))
        ++start;
    line.erase(0, start);
    if (line.empty()) throw std::runtime_error("the token file " + path + " holds no token");
    return line;
}

bool tokenMatches(std::string_view expected, std::string_view given) {
    // Digests of equal length, compared in constant time: neither the
    // position of the first difference nor the token's length shows.
    unsigned char a[SHA256_DIGEST_LENGTH], b[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(expected.data()), expected.size(), a);
    SHA256(reinterpret_cast<const unsigned char*>(given.data()), given.size(), b);
    return CRYPTO_memcmp(a, b, sizeof a) == 0;
}

struct RewriteService::Impl {
    ServiceOptions options;
    ThesaurusHolder holder;
    HttpFront front;

    explicit Impl(ServiceOptions o)
        : options(checked(std::move(o))), holder(options.dbPath, options.defaults.protectedWords),
          front(options.front, routes()) {}

    static ServiceOptions checked(ServiceOptions o) {
        if (o.token.empty() && !isLoopback(o.front.bind))
            throw std::invalid_argument("bound to " + o.front.bind +
                                        ", the service needs a token file (--token-file)");
        return o;
    }

    // Refuses from the head alone what can be refused so: an unsupported
    // body type, a wrong bearer token.
    std::optional<Response> screen(const Request& req) const {
        if (bodyKindOf(parseContentType(req.contentType)) == BodyKind::Unsupported)
            return refusal({ApiError::UnsupportedType, {}});
        if (!options.token.empty() && !req.authorization.empty()) {
            const auto given = bearerToken(req.authorization);
            if (!given || !tokenMatches(options.token, *given))
                return refusal({ApiError::BadToken, {}});
        }
        return std::nullopt;
    }

    Response rewrite(Request& req) const {
        // The snapshot of this moment, kept until the answer is made.
        const std::shared_ptr<const Snapshot> snapshot = holder.current();
        Fields fields;
        appendFormFields(req.query, fields);
        const ContentType type = parseContentType(req.contentType);
        if (auto e = appendBodyFields(type, std::move(req.body), fields)) return refusal(*e);
        RewriteRequest r;
        if (auto e = readRequest(fields, options.defaults, isGbkCharset(type.charset), r)) {
            // Who sends no token learns nothing else first.
            if (!authorized(req, r)) return refusal({ApiError::BadToken, {}});
            return refusal(*e);
        }
        if (!authorized(req, r)) return refusal({ApiError::BadToken, {}});
        Answer a = rewriteAnswer(r, *snapshot);
        return {
            a.status, std::move(a.contentType), std::move(a.body), {{"Cache-Control", "no-store"}}};
    }

    // The bearer token was checked from the head; without one, the field.
    bool authorized(const Request& req, const RewriteRequest& r) const {
        if (options.token.empty() || !req.authorization.empty()) return true;
        return r.token && tokenMatches(options.token, *r.token);
    }

    Response health() const {
        const auto s = holder.current();
        std::string body = "{\"status\":\"ok\",\"pairs\":" + std::to_string(s->full->pairCount()) +
                           ",\"protected\":" + std::to_string(s->protectedWords.size()) +
                           ",\"token\":" + (options.token.empty() ? "false" : "true") + "}\n";
        return {200,
                "application/json; charset=utf-8",
                std::move(body),
                {{"Cache-Control", "no-store"}}};
    }

    std::vector<Route> routes() {
        auto get = [](std::string path, std::function<Response(Request&)> fn) {
            return Route{"GET", std::move(path), {}, std::move(fn), false};
        };
        return {
            Route{"POST", "/api/rewrite", [this](const Request& req) { return screen(req); },
                  [this](Request& req) { return rewrite(req); }, true},
            get("/api/health", [this](Request&) { return health(); }),
            get("/",
                [](Request&) { return asset("text/html; charset=utf-8", page::k_index_html); }),
            get("/page.css",
                [](Request&) { return asset("text/css; charset=utf-8", page::k_page_css); }),
            get("/page.js",
                [](Request&) { return asset("text/javascript; charset=utf-8", page::k_page_js); }),
        };
    }
};

RewriteService::RewriteService(ServiceOptions options)
    : m(std::make_unique<Impl>(std::move(options))) {}

RewriteService::~RewriteService() {
    stop();
}

int RewriteService::start() {
    return m->front.start();
}

void RewriteService::stop() {
    m->front.stop();
}

bool RewriteService::reload(std::string* error) {
    return m->holder.reload(error);
}

bool RewriteService::reloadIfChanged(std::string* error) {
    return m->holder.reloadIfChanged(error);
}

std::shared_ptr<const Snapshot> RewriteService::snapshot() const {
    return m->holder.current();
}

} // namespace service
