#include "vendor_server.h"

#include <algorithm>

#include "abuse_limits.h"
#include "account_pages.h"
#include "client_answers.h"
#include "http_front.h"
#include "pages.h"
#include "passwords.h"
#include "protocol.h"
#include "storage.h"
#include "stored_abuse_limits.h"

namespace wycserver {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
// Form fields of the account pages are short; these caps only keep a flood out.
constexpr std::size_t kAccountFieldBytes = 1024;
// The id of a test submission: a number or the address of the fetched page.
constexpr std::size_t kPostIdBytes = 4096;

std::optional<std::string> param(const HttpRequest& req, std::string_view name) {
    return formValue(parseForm(rawQuery(req.target)), name);
}

HttpResponse text(std::string body) {
    return {200, "text/plain; charset=utf-8", std::move(body)};
}

HttpResponse html(std::string body) {
    return {200, kHtml, std::move(body)};
}

StoreLocation storeLocation(const ServerOptions& o) {
    StoreLocation where;
    where.sqliteFile = o.dataFile;
    where.postgresUri = o.databaseUri;
    where.starterPairs = o.starterPairs;
    where.keptPostBytes = o.keptPostBytes;
    // Every thread that runs requests may hold one connection.
    where.connections = std::max(1u, o.networkThreads) + (o.hashThreads ? o.hashThreads : 8u);
    return where;
}

std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

} // namespace

struct VendorServer::Impl {
    ServerOptions options;
    std::unique_ptr<Storage> store;
    Storage& storage;
    VerifiedPasswords verified;
    StoredAbuseLimits limits;
    ClientAnswers answers{storage, verified, limits};
    AccountPages accounts{storage, limits};
    HttpFront front;
    bool started = false;
    int port = -1;

    explicit Impl(ServerOptions o)
        : options(std::move(o)), store(openStorage(storeLocation(options))), storage(*store),
          limits(storage, AbuseLimitSettings{5, std::chrono::minutes(10), std::chrono::minutes(10),
                                             options.signUpsPerHour}),
          front(options, routes()) {}

    HttpResponse postTest(const HttpRequest& req) {
        const std::string content = formValue(req.form, "content").value_or("");
        const std::string id = displayText(formValue(req.form, "id").value_or(""));
        const std::string shown = displayText(content);
        storage.addPost(id, content, shortenUtf8(shown, Storage::kPreviewBytes),
                        static_cast<std::int64_t>(req.bodyBytes), req.remote);
        return text("提交成功：id=" + shortenUtf8(answerField(id), 120) + "，内容" +
                    std::to_string(characterCount(shown)) + "字");
    }

    std::vector<Route> routes() {
        const std::size_t content = options.maxPostContentBytes;
        const std::string tooLarge = "提交失败：内容超过" + std::to_string(content >> 10) + "KB（" +
                                     std::to_string(content) + "字节），没有保存";
        const std::map<std::string, std::size_t, std::less<>> accountFields{
            {"account", kAccountFieldBytes},
            {"password", kAccountFieldBytes},
            {"password2", kAccountFieldBytes},
            {"code", kAccountFieldBytes}};
        auto get = [](std::string path, std::function<HttpResponse(const HttpRequest&)> fn) {
            return Route{"GET", std::move(path), false, {}, {}, std::move(fn)};
        };
        return {
            // Logins may hash a password: they run on the hashing pool.
            Route{"GET",
                  "/login_client.asp",
                  true,
                  {},
                  {},
                  [this](const HttpRequest& req) {
                      return text(answers.login(rawQuery(req.target), req.remote));
                  }},
            get("/loadtyc.asp",
                [this](const HttpRequest& req) { return text(answers.page(param(req, "page"))); }),
            get("/keywords_point.asp",
                [this](const HttpRequest& req) {
                    return text(answers.points(param(req, "q").value_or(""), req.remote));
                }),
            get("/sendkeywords.asp",
                [this](const HttpRequest& req) {
                    return text(answers.share(param(req, "q").value_or(""), req.remote));
                }),
            get("/post_test.asp",
                [this](const HttpRequest&) { return html(pages::posts(storage.latestPosts(20))); }),
            Route{"POST",
                  "/post_test.asp",
                  false,
                  {{"id", kPostIdBytes}, {"content", content}},
                  tooLarge,
                  [this](const HttpRequest& req) { return postTest(req); }},
            get("/get_test.asp",
                [](const HttpRequest& req) {
                    return text(pages::sampleArticle(param(req, "id").value_or("")));
                }),
            get("/register.asp", [](const HttpRequest&) { return html(pages::registerForm()); }),
            Route{"POST",
                  "/register.asp",
                  true,
                  accountFields,
                  {},
                  [this](const HttpRequest& req) {
                      return html(accounts.signUp(req.form, req.remote));
                  }},
            get("/findpwd.asp", [](const HttpRequest&) { return html(pages::findPasswordForm()); }),
            Route{"POST",
                  "/findpwd.asp",
                  true,
                  accountFields,
                  {},
                  [this](const HttpRequest& req) {
                      return html(accounts.recover(req.form, req.remote));
                  }},
            get("/tychelp.html", [](const HttpRequest&) { return html(pages::help()); }),
            get("/softad/tyc.html", [](const HttpRequest&) { return html(pages::banner()); }),
            get("/", [](const HttpRequest&) { return html(pages::index()); }),
        };
    }
};

VendorServer::VendorServer(ServerOptions options) : m(std::make_unique<Impl>(std::move(options))) {}

VendorServer::~VendorServer() {
    stop();
}

int VendorServer::start() {
    if (m->started) return m->port;
    m->port = m->front.start();
    m->started = true;
    return m->port;
}

void VendorServer::stop() {
    if (m) m->front.stop();
}

int VendorServer::port() const {
    return m->port;
}

Storage& VendorServer::storage() {
    return m->storage;
}

} // namespace wycserver
