// The companion server's request handling over a store of its own (a SQLite
// file in a temporary folder), each route called as the HTTP front calls it:
// - query and form decoding: a form read in pieces is the form read whole,
//   decoding never grows a text, answer fields never hold the "|" byte in
//   their GBK form, shortened texts stay within their bound;
// - login, page, points, share and sign-up on any query or form: every answer
//   is UTF-8 of bounded size, only an accepted login answers with fields, and
//   the account's ledger always adds up to its points, never below zero.
// In a query, "@U@" stands for the test account's id and "@T@" for a live
// login token of it; two routes build the points and share requests of the
// test account from the words in the input, enciphered as the program does,
// so that the fuzzer reaches past the cipher and the token check.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/abuse_limits.h"
#include "server/account_pages.h"
#include "server/client_answers.h"
#include "server/login_token.h"
#include "server/passwords.h"
#include "server/protocol.h"
#include "server/recent_failures.h"
#include "server/storage.h"
#include "server/stored_abuse_limits.h"

namespace {

using namespace wycserver;

constexpr std::size_t kMaxAnswerBytes = 64 * 1024;
const std::string kClient = "127.0.0.1";

struct Server {
    std::filesystem::path dir;
    std::unique_ptr<Storage> store;
    VerifiedPasswords verified;
    RecentFailures recent;
    std::unique_ptr<StoredAbuseLimits> limits;
    std::unique_ptr<ClientAnswers> answers;
    std::unique_ptr<AccountPages> accounts;
    std::int64_t now = std::time(nullptr);
    std::int64_t userId = 0;
    std::string token;

    Server() {
        char pattern[] = "/tmp/wyc-fuzz-server-XXXXXX";
        dir = mkdtemp(pattern);
        StoreLocation where;
        where.sqliteFile = (dir / "store.db").string();
        where.starterPairs = false;
        store = openStorage(where);
        limits = std::make_unique<StoredAbuseLimits>(*store, AbuseLimitSettings{},
                                                     [this] { return now; });
        answers = std::make_unique<ClientAnswers>(*store, verified, *limits, recent);
        answers->setClock([this] { return now; });
        accounts = std::make_unique<AccountPages>(*store, *limits);
        // A cheap hash: a login the fuzzer gets right costs no Argon2 run the
        // first time (it is rehashed then, and remembered).
        const auto account = store->createAccount("fuzz", legacyPbkdf2Hash("pw", 1), "", "fuzz");
        userId = account->id;
        store->recordLogin(userId, kClient, now);
        token = makeLoginToken(store->tokenKey(userId), userId, now);
    }
    ~Server() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

Server& server() {
    static Server s;
    return s;
}

std::string substituted(std::string query, const Server& s) {
    for (const auto& [mark, value] :
         {std::pair<std::string, std::string>{"@U@", std::to_string(s.userId)}, {"@T@", s.token}})
        for (std::size_t p; (p = query.find(mark)) != std::string::npos;)
            query.replace(p, mark.size(), value);
    return query;
}

void decoding(const std::string& bytes, std::uint8_t chunk) {
    FUZZ_CHECK(percentDecode(bytes, true).size() <= bytes.size());
    FUZZ_CHECK(decodeRequestLineEscapes(bytes).size() <= bytes.size());
    // A form read in pieces of any size is the form read whole.
    FormStream stream;
    const std::size_t step = 1 + chunk % 17;
    for (std::size_t i = 0; i < bytes.size(); i += step)
        stream.feed(std::string_view(bytes).substr(i, step));
    FUZZ_CHECK(stream.finish() == parseForm(bytes));
    if (cp::isValidUtf8(bytes)) {
        const std::string field = answerField(bytes);
        FUZZ_CHECK(cp::utf8ToGbk(field).find('|') == std::string::npos);
        const std::string shortened = shortenUtf8(bytes, 1 + chunk);
        FUZZ_CHECK(shortened.size() <= 1u + chunk + 3 && cp::isValidUtf8(shortened));
    }
    FUZZ_CHECK(cp::isValidUtf8(displayText(bytes)));
}

void ledgerAddsUp(Server& s) {
    const auto account = s.store->findAccount(s.userId);
    FUZZ_CHECK(account && account->points >= 0);
    std::int64_t sum = 0;
    for (const auto& line : s.store->ledger(s.userId))
        sum += line.change;
    FUZZ_CHECK(sum == account->points);
}

void answered(const ClientAnswer& a) {
    FUZZ_CHECK(a.text.size() <= kMaxAnswerBytes);
    FUZZ_CHECK(cp::isValidUtf8(a.text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t route = in.byte();
    Server& s = server();
    const std::string raw = in.rest();
    const std::string query = substituted(raw, s);
    const Caller caller{kClient, "fuzz"};
    const std::string uid = std::to_string(s.userId);
    switch (route % 8) {
    case 0: {
        const ClientAnswer a = s.answers->login(query, caller);
        answered(a);
        // Only an accepted login, of the one account there is, has fields.
        if (a.text.find('|') != std::string::npos) FUZZ_CHECK(a.account == s.userId);
        break;
    }
    case 1: {
        const ClientAnswer a = s.answers->page(formValue(parseForm(query), "page"));
        answered(a);
        break;
    }
    case 2:
        answered(s.answers->points(query, caller));
        ledgerAddsUp(s);
        break;
    case 3:
        answered(s.answers->share(query, caller));
        ledgerAddsUp(s);
        break;
    case 4: {
        const std::string page = s.accounts->signUp(parseForm(raw), kClient, "fuzz");
        FUZZ_CHECK(cp::isValidUtf8(page) && page.size() <= kMaxAnswerBytes);
        break;
    }
    case 6:
    case 7: {
        fuzz::Input words(data + 1, size - (size ? 1 : 0));
        const std::string ow = words.field(), nw = words.rest();
        const std::string q = route % 8 == 6
                                  ? cipher::encryptGbk(uid + "[@]" + ow + "[@]" + nw + "[@]addword")
                                  : cipher::encryptGbk(uid) + "|" + cipher::encryptGbk(ow) + "|" +
                                        cipher::encryptGbk(nw);
        const std::string built = "q=" + q + "&t=" + s.token;
        answered(route % 8 == 6 ? s.answers->points(built, caller)
                                : s.answers->share(built, caller));
        ledgerAddsUp(s);
        break;
    }
    default:
        decoding(raw, route);
    }
    return 0;
}
