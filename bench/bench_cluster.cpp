// Several server instances behind nginx, as a vendor with many users runs them.
// nginx runs the example of deploy/nginx-wyc.conf as shipped (on loopback
// ports, without TLS). For each store (PostgreSQL, then one SQLite file shared
// by the instances): two wyc-server processes and nginx, then
//  - speed: logins per second over keep-alive connections through nginx (8
//    clients), and the median of page requests (one client, one at a time);
//    targets 2,000 logins/s and a median under 5 ms;
//  - PostgreSQL only, the end-to-end check, with 4 clients on addresses of
//    their own running the desktop protocol (login, pages, downloads, shares)
//    through nginx:
//      1. a rolling restart: each instance in turn gets SIGTERM, drains, exits
//         and is started again, while the clients also post test submissions;
//         every request must be answered and every acknowledged post stored;
//      2. a crash: each instance in turn is killed (SIGKILL) and started
//         again; every request of the protocol (all GET) must be answered.
//    Afterwards every acknowledged download and share must be in the
//    database, and every balance exactly what the acknowledged answers add
//    up to.
// Runs itself inside pg_virtualenv when no PostgreSQL is named (PGHOST or
// WYC_TEST_POSTGRES).
//   bench_cluster [SECONDS_PER_ROUND]   (default 3)
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench_postgres.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/pg_connection.h"
#include "server/protocol.h"
#include "server/storage.h"
#include "support/client_targets.h"
#include "support/http_client.h"
#include "support/nginx_front.h"
#include "support/raw_client.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLoginTarget = 2000.0;
constexpr double kPageMedianTargetMs = 5.0;
constexpr int kLoadClients = 8;
constexpr int kChaosClients = 4;
constexpr int kUsersPerClient = 10;
constexpr int kDownloadPairs = 40;
constexpr int kSharesPerUser = 90;
constexpr int kKeptPosts = 1000;
// Longer than the example's fail_timeout, so that nginx uses a restarted
// instance again before the other one goes.
constexpr auto kBetweenRestarts = std::chrono::seconds(6);

// A child process with its output in a log file.
pid_t spawn(const std::vector<std::string>& args, const fs::path& log) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Sends `sig` and waits for the process to end; the milliseconds that took.
double stopProcess(pid_t& pid, int sig) {
    if (pid <= 0) return 0;
    const auto t0 = Clock::now();
    ::kill(pid, sig);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct Instance {
    std::vector<std::string> args;
    int port = 0;
    pid_t pid = -1;
    void start(const fs::path& log) {
        pid = spawn(args, log);
        waitForListener(port);
    }
};

// The user id of an accepted login answer ("ok|id|points|token"), or "".
std::string idOf(const std::string& login) {
    if (login.rfind("ok|", 0) != 0) return {};
    return login.substr(3, login.find('|', 3) - 3);
}

std::int64_t balanceOf(const std::string& answer) {
    const auto first = answer.find('|');
    return std::stoll(answer.substr(first + 1, answer.find('|', first + 1) - first - 1));
}

class Cluster {
  public:
    Cluster(const fs::path& dir, const std::string& serverBinary,
            const std::vector<std::string>& storeArgs)
        : m_dir(dir) {
        for (int i = 0; i < 2; ++i) {
            Instance in;
            in.port = freeLoopbackPort();
            in.args = {serverBinary,      "--port",    std::to_string(in.port), "--quiet",
                       "--trusted-proxy", "127.0.0.1", "--sign-ups-per-hour",   "1000000",
                       "--no-metrics"};
            in.args.insert(in.args.end(), storeArgs.begin(), storeArgs.end());
            m_instances.push_back(in);
        }
        m_instances[0].start(log(0)); // makes the tables
        m_instances[1].start(log(1));
        m_nginx = std::make_unique<NginxFront>(
            fs::path(WYC_SOURCE_DIR) / "deploy" / "nginx-wyc.conf", dir / "nginx",
            std::vector<int>{m_instances[0].port, m_instances[1].port});
    }
    ~Cluster() {
        m_nginx.reset();
        for (auto& in : m_instances)
            stopProcess(in.pid, SIGTERM);
    }
    int port() const { return m_nginx->port(); }
    double stop(int i, int sig) { return stopProcess(m_instances[i].pid, sig); }
    void restart(int i) { m_instances[i].start(log(i)); }

  private:
    fs::path log(int i) const { return m_dir / ("server" + std::to_string(i) + ".log"); }
    fs::path m_dir;
    std::vector<Instance> m_instances;
    std::unique_ptr<NginxFront> m_nginx;
};

struct User {
    std::string id;
    std::string token;
};

std::vector<User> signUpUsers(int port, const std::string& prefix, int count) {
    std::vector<User> users;
    HttpClient c("127.0.0.1", port);
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        c.post("/register.asp", "account=" + name + "&password=pw&password2=pw");
        const std::string answer = c.get(loginTarget(name, "pw")).value_or(HttpResult{}).body;
        users.push_back({idOf(answer), loginTokenOf(answer)});
    }
    return users;
}

struct Speed {
    double loginsPerSecond = 0;
    long loginFailures = 0;
    double pageMedianMs = 0;
    double pageP99Ms = 0;
};

Speed measure(int port, double seconds, const std::string& prefix) {
    signUpUsers(port, prefix, kLoadClients);
    Speed s;
    std::atomic<long> ok{0}, failed{0};
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int t = 0; t < kLoadClients; ++t)
        threads.emplace_back([&, t] {
            HttpClient c("127.0.0.1", port);
            const std::string target = loginTarget(prefix + std::to_string(t), "pw");
            while (Clock::now() < end) {
                auto r = c.get(target);
                (r && r->body.rfind("ok|", 0) == 0 ? ok : failed)++;
            }
        });
    for (auto& t : threads)
        t.join();
    s.loginsPerSecond =
        static_cast<double>(ok) / std::chrono::duration<double>(Clock::now() - start).count();
    s.loginFailures = failed;

    HttpClient c("127.0.0.1", port);
    std::vector<double> ms;
    for (int i = 0; i < 500; ++i) {
        const auto t0 = Clock::now();
        auto r = c.get("/loadtyc.asp?page=" + std::to_string(i % 3 + 1));
        if (r && r->status == 200)
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        s.pageMedianMs = ms[ms.size() / 2];
        s.pageP99Ms = ms[ms.size() * 99 / 100];
    }
    return s;
}

// What one client of the end-to-end check saw acknowledged, per user.
struct Ledger {
    std::set<std::string> paidPairs;   // pair keys of downloads answered "ok"
    std::set<std::string> sharedPairs; // pairs answered accepted (or already in, after a retry)
};

struct ChaosResult {
    long requests = 0;
    long unanswered = 0;
    long wrong = 0; // answers that the protocol does not allow here
    long posts = 0;
    int lostPosts = 0;
    int balanceMismatches = 0;
    int lostDownloads = 0;
    int lostShares = 0;
    int negative = 0;
    double longestDrainMs = 0;
    std::string sample; // the first unexpected answer
};

// Clients running the protocol through nginx until told to stop; `posting`
// says whether they also post test submissions.
class Clients {
  public:
    Clients(int port, ChaosResult& out, const std::vector<User>& users)
        : m_port(port), m_out(out), m_users(users), m_ledgers(kChaosClients) {}

    void run(bool posting) {
        m_running = true;
        for (int t = 0; t < kChaosClients; ++t)
            m_threads.emplace_back([this, t, posting] { client(t, posting); });
    }
    void stop() {
        m_running = false;
        for (auto& t : m_threads)
            t.join();
        m_threads.clear();
        m_out.requests = m_requestCount;
    }
    const std::vector<std::map<std::string, Ledger>>& ledgers() const { return m_ledgers; }
    const std::vector<std::string>& acknowledgedPosts() const { return m_posted; }

  private:
    bool answered(const HttpReply& r) {
        ++m_requestCount;
        if (!r || r->status != 200 || r->body.empty()) {
            std::lock_guard lock(m_mutex);
            ++m_out.unanswered;
            if (m_out.sample.empty())
                m_out.sample = r ? std::to_string(r->status) + " " + r->body : "no answer";
            return false;
        }
        return true;
    }
    void unexpected(const std::string& body) {
        std::lock_guard lock(m_mutex);
        if (m_out.wrong++ == 0 && m_out.sample.empty()) m_out.sample = body;
    }

    void client(int t, bool posting) {
        // Each user on a network of its own, as users are.
        std::vector<std::unique_ptr<HttpClient>> connections;
        for (int u = 0; u < kUsersPerClient; ++u) {
            connections.push_back(std::make_unique<HttpClient>("127.0.0.1", m_port));
            connections.back()->setSourceAddress("127." + std::to_string(10 + t) + "." +
                                                 std::to_string(1 + u) + ".1");
        }
        for (int round = 0; m_running; ++round) {
            const int u = t * kUsersPerClient + round % kUsersPerClient;
            HttpClient& c = *connections[round % kUsersPerClient];
            User& user = m_users[u];
            Ledger& ledger = m_ledgers[t][user.id];
            auto login = c.get(loginTarget("chaos" + std::to_string(u), "pw"));
            if (answered(login)) {
                if (idOf(login->body) != user.id)
                    unexpected(login->body);
                else
                    user.token = loginTokenOf(login->body);
            }
            answered(c.get("/loadtyc.asp?page=" + std::to_string(round % 4 + 1)));
            for (int d = 0; d < 3; ++d) {
                // Now and then a pair bought before, which must cost nothing.
                const std::string ow = "下载" + std::to_string((round * 3 + d) % kDownloadPairs);
                auto r = c.get(pointsTarget(user.id, ow, "词", user.token));
                if (!answered(r)) continue;
                if (r->body.find('|') == std::string::npos) {
                    unexpected(r->body);
                    continue;
                }
                if (balanceOf(r->body) < 0) unexpected(r->body);
                ledger.paidPairs.insert(wycserver::pairKey(ow, "词"));
            }
            // Every fourth round a test submission, up to what the store
            // keeps (the newest 1,000).
            if (posting && round % 4 == 2 && m_posts++ < kKeptPosts) {
                const std::string id = "c" + std::to_string(t) + "-" + std::to_string(round);
                auto r = c.post("/post_test.asp", "id=" + id + "&content=" + std::string(200, 'x'));
                if (answered(r)) {
                    if (r->body.find("提交成功") == std::string::npos) unexpected(r->body);
                    std::lock_guard lock(m_mutex);
                    m_posted.push_back(id);
                }
            }
            // Every fourth round, up to the 100 shares an account has a day.
            // A pair no one else shares: "already in" can only mean that an
            // earlier try of this very request was accepted.
            if (round % 4 != 0 || ++m_shareTries[u] > kSharesPerUser) continue;
            const std::string ow =
                "共享" + user.id + "-" + std::to_string(round) + (posting ? "a" : "b");
            auto r = c.get(shareTarget(user.id, ow, "新", user.token));
            if (answered(r)) {
                if (r->body.find("共享成功") != std::string::npos ||
                    r->body.find("已经在网络词库中") != std::string::npos)
                    ledger.sharedPairs.insert(ow);
                else
                    unexpected(r->body);
            }
        }
    }

    int m_port;
    ChaosResult& m_out;
    std::vector<User> m_users;
    std::vector<std::map<std::string, Ledger>> m_ledgers;
    std::vector<std::string> m_posted;
    std::atomic<bool> m_running{false};
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::atomic<long> m_requestCount{0};
    std::atomic<int> m_posts{0};
    std::vector<int> m_shareTries = std::vector<int>(kChaosClients * kUsersPerClient);
};

void check(const std::string& uri, const Clients& clients, ChaosResult& out) {
    wycserver::PgConnection db(uri);
    for (const auto& perClient : clients.ledgers())
        for (const auto& [id, ledger] : perClient) {
            const auto points =
                db.exec("SELECT points FROM accounts WHERE id = $1", {std::stoll(id)}).int64(0, 0);
            const auto expected = 100 - static_cast<std::int64_t>(ledger.paidPairs.size()) +
                                  10 * static_cast<std::int64_t>(ledger.sharedPairs.size());
            if (points != expected) ++out.balanceMismatches;
            if (points < 0) ++out.negative;
            for (const auto& key : ledger.paidPairs)
                if (db.exec("SELECT 1 FROM downloads WHERE user_id = $1 AND pair_key = $2",
                            {std::stoll(id), key})
                        .empty())
                    ++out.lostDownloads;
            for (const auto& ow : ledger.sharedPairs)
                if (db.exec("SELECT 1 FROM shared_pairs WHERE ow = $1 AND sharer = $2",
                            {ow, std::stoll(id)})
                        .empty())
                    ++out.lostShares;
        }
    out.posts = static_cast<long>(clients.acknowledgedPosts().size());
    for (const auto& id : clients.acknowledgedPosts())
        if (db.exec("SELECT 1 FROM posts WHERE post_id = $1", {id}).empty()) ++out.lostPosts;
}

ChaosResult chaos(Cluster& cluster, const std::string& uri) {
    const int port = cluster.port();
    // The pairs the clients download, shared first.
    {
        const auto seeder = signUpUsers(port, "seeder", 1).front();
        HttpClient c("127.0.0.1", port);
        for (int i = 0; i < kDownloadPairs; ++i)
            c.get(shareTarget(seeder.id, "下载" + std::to_string(i), "词", seeder.token));
    }
    ChaosResult out;
    Clients clients(port, out, signUpUsers(port, "chaos", kChaosClients * kUsersPerClient));
    // 1. A rolling restart, posts included.
    clients.run(true);
    for (int i = 0; i < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        out.longestDrainMs = std::max(out.longestDrainMs, cluster.stop(i, SIGTERM));
        cluster.restart(i);
        std::this_thread::sleep_for(kBetweenRestarts);
    }
    clients.stop();
    // 2. Crashes, with the protocol alone.
    clients.run(false);
    for (int i = 0; i < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cluster.stop(i, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        cluster.restart(i);
        std::this_thread::sleep_for(kBetweenRestarts);
    }
    clients.stop();
    check(uri, clients, out);
    return out;
}

std::string serverBinary() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "server" / "wyc-server").string();
}

} // namespace

int main(int argc, char** argv) {
    bench::needPostgres(argc, argv);
    if (!NginxFront::available()) {
        std::fprintf(stderr, "bench_cluster: needs nginx (package nginx-light)\n");
        return 1;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::signal(SIGPIPE, SIG_IGN);
    char tmpl[] = "/tmp/wyc-cluster-XXXXXX";
    const fs::path dir = ::mkdtemp(tmpl);
    // nginx workers run as another user when started by root.
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    const std::string uri = bench::freshSchema("wyc_bench");

    bool pass = true;
    Speed speed[2];
    ChaosResult result;
    const char* names[2] = {"PostgreSQL", "SQLite (one file)"};
    for (int store = 0; store < 2; ++store) {
        const fs::path run = dir / (store == 0 ? "pg" : "sqlite");
        fs::create_directories(run);
        fs::permissions(run, fs::perms::owner_all | fs::perms::others_read |
                                 fs::perms::others_exec | fs::perms::group_read |
                                 fs::perms::group_exec);
        Cluster cluster(run, serverBinary(),
                        store == 0 ? std::vector<std::string>{"--database", uri}
                                   : std::vector<std::string>{"--data", (run / "wyc.db").string()});
        speed[store] = measure(cluster.port(), seconds, "load");
        if (store == 0) result = chaos(cluster, uri);
    }
    bench::dropSchema("wyc_bench");

    std::printf("two wyc-server instances behind nginx (deploy/nginx-wyc.conf) on 127.0.0.1, %d"
                " keep-alive clients\n",
                kLoadClients);
    std::printf("%-20s %14s %10s %14s %12s\n", "store", "logins/s", "failed", "page median",
                "page p99");
    for (int store = 0; store < 2; ++store)
        std::printf("%-20s %14.0f %10ld %11.2f ms %9.2f ms\n", names[store],
                    speed[store].loginsPerSecond, speed[store].loginFailures,
                    speed[store].pageMedianMs, speed[store].pageP99Ms);
    std::printf("targets (PostgreSQL): %.0f logins/s, page median under %.0f ms\n", kLoginTarget,
                kPageMedianTargetMs);
    if (speed[0].loginsPerSecond < kLoginTarget || speed[0].pageMedianMs >= kPageMedianTargetMs) {
        std::printf("PostgreSQL speed: BELOW TARGET\n");
        pass = false;
    }
    std::printf("end-to-end, a rolling restart (SIGTERM, longest drain %.0f ms) then each instance"
                " killed: %ld requests, %ld unanswered, %ld unexpected answers; %ld posts"
                " acknowledged, %d of them missing; %d balances off, %d negative, %d acknowledged"
                " downloads and %d acknowledged shares missing\n",
                result.longestDrainMs, result.requests, result.unanswered, result.wrong,
                result.posts, result.lostPosts, result.balanceMismatches, result.negative,
                result.lostDownloads, result.lostShares);
    const bool sound = result.requests > 0 && result.unanswered == 0 && result.wrong == 0 &&
                       result.posts > 0 && result.lostPosts == 0 && result.balanceMismatches == 0 &&
                       result.negative == 0 && result.lostDownloads == 0 && result.lostShares == 0;
    if (!result.sample.empty()) std::printf("first unexpected answer: %s\n", result.sample.c_str());
    std::printf("end-to-end check: %s\n", sound ? "PASS" : "FAIL");
    std::error_code ec;
    if (sound)
        fs::remove_all(dir, ec);
    else
        std::printf("logs kept in %s\n", dir.c_str());
    return sound && pass ? 0 : 1;
}
