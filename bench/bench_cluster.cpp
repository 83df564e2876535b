// Several server instances behind nginx, as a vendor with many users runs them.
// For each store (PostgreSQL, then one SQLite file shared by the instances):
// two wyc-server processes and nginx on loopback ports, then
//  - speed: logins per second over keep-alive connections through nginx (8
//    clients), and the median of page requests (one client, one at a time);
//    targets 2,000 logins/s and a median under 5 ms;
//  - PostgreSQL only, the end-to-end check: 4 clients run the desktop
//    protocol (login, pages, downloads, shares) through nginx while each
//    instance in turn is killed (SIGKILL) and started again. Every request must
//    get an answer, every acknowledged download and share must be in the
//    database, and every balance must be exactly what the acknowledged
//    answers add up to.
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
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "protocol/codepage.h"
#include "protocol/cipher_gbk.h"
#include "server/pg_connection.h"
#include "server/protocol.h"
#include "server/storage.h"
#include "support/client_targets.h"
#include "support/http_client.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLoginTarget = 2000.0;
constexpr double kPageMedianTargetMs = 5.0;
constexpr int kLoadClients = 8;
constexpr int kChaosClients = 4;
constexpr int kUsersPerClient = 10;

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

void waitListening(int port) {
    for (int i = 0; i < 200 && !listening(port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

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

void stopProcess(pid_t& pid, int sig) {
    if (pid <= 0) return;
    ::kill(pid, sig);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

struct Instance {
    std::vector<std::string> args;
    int port = 0;
    pid_t pid = -1;
    void start(const fs::path& log) {
        pid = spawn(args, log);
        waitListening(port);
    }
};

// The user id of an accepted login answer, or "".
std::string idOf(const std::string& login) {
    if (login.rfind("ok|", 0) != 0) return {};
    return login.substr(3, login.rfind('|') - 3);
}

std::int64_t balanceOf(const std::string& answer) {
    const auto last = answer.rfind('|');
    return std::stoll(answer.substr(answer.rfind('|', last - 1) + 1));
}

class Cluster {
  public:
    Cluster(fs::path dir, const std::string& serverBinary, std::vector<std::string> storeArgs)
        : m_dir(std::move(dir)) {
        for (int i = 0; i < 2; ++i) {
            Instance in;
            in.port = freePort();
            in.args = {serverBinary,      "--port",    std::to_string(in.port), "--quiet",
                       "--trusted-proxy", "127.0.0.1", "--sign-ups-per-hour",   "1000000"};
            in.args.insert(in.args.end(), storeArgs.begin(), storeArgs.end());
            m_instances.push_back(in);
        }
        m_instances[0].start(log(0)); // makes the tables
        m_instances[1].start(log(1));
        m_port = freePort();
        const fs::path conf = m_dir / "nginx.conf";
        std::ofstream(conf) << "pid " << (m_dir / "nginx.pid").string() << ";\n"
                            << "error_log " << (m_dir / "nginx-error.log").string() << ";\n"
                            << "worker_processes 1;\n"
                            << "events { worker_connections 1024; }\n"
                            << "http {\n  access_log off;\n"
                            << "  client_body_temp_path " << (m_dir / "tmp").string() << ";\n"
                            << "  proxy_temp_path " << (m_dir / "tmp").string() << ";\n"
                            << "  upstream wyc { least_conn;\n"
                            << "    server 127.0.0.1:" << m_instances[0].port
                            << " max_fails=3 fail_timeout=2s;\n"
                            << "    server 127.0.0.1:" << m_instances[1].port
                            << " max_fails=3 fail_timeout=2s;\n"
                            << "    keepalive 64; }\n"
                            << "  server { listen 127.0.0.1:" << m_port << ";\n"
                            << "    location / { proxy_pass http://wyc;\n"
                            << "      proxy_http_version 1.1; proxy_set_header Connection \"\";\n"
                            << "      proxy_set_header X-Real-IP $remote_addr;\n"
                            << "      proxy_set_header X-Forwarded-For "
                               "$proxy_add_x_forwarded_for;\n"
                            << "      proxy_next_upstream error timeout http_502 http_503;\n"
                            << "      proxy_next_upstream_tries 2;\n"
                            << "      proxy_connect_timeout 1s; } }\n}\n";
        fs::create_directories(m_dir / "tmp");
        fs::create_directories(m_dir / "logs");
        m_nginx = spawn({"nginx", "-p", m_dir.string(), "-c", conf.string(), "-g", "daemon off;"},
                        m_dir / "nginx.out");
        waitListening(m_port);
    }
    ~Cluster() {
        stopProcess(m_nginx, SIGQUIT);
        for (auto& in : m_instances)
            stopProcess(in.pid, SIGTERM);
    }
    int port() const { return m_port; }
    void kill(int i) { stopProcess(m_instances[i].pid, SIGKILL); }
    void restart(int i) { m_instances[i].start(log(i)); }

  private:
    fs::path log(int i) const { return m_dir / ("server" + std::to_string(i) + ".log"); }
    fs::path m_dir;
    std::vector<Instance> m_instances;
    int m_port = 0;
    pid_t m_nginx = -1;
};

std::vector<std::string> signUpUsers(int port, const std::string& prefix, int count) {
    std::vector<std::string> ids;
    HttpClient c("127.0.0.1", port);
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        c.post("/register.asp", "account=" + name + "&password=pw&password2=pw");
        ids.push_back(idOf(c.get(loginTarget(name, "pw")).value_or(HttpResult{}).body));
    }
    return ids;
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
    int balanceMismatches = 0;
    int lostDownloads = 0;
    int lostShares = 0;
    int negative = 0;
    std::string sample; // the first unexpected answer
};

ChaosResult chaos(Cluster& cluster, const std::string& uri, double seconds) {
    const int port = cluster.port();
    const auto ids = signUpUsers(port, "chaos", kChaosClients * kUsersPerClient);
    std::vector<std::map<std::string, Ledger>> ledgers(kChaosClients);
    std::atomic<long> requests{0}, unanswered{0}, wrong{0};
    std::atomic<bool> running{true};
    auto answered = [&](const HttpReply& r) {
        ++requests;
        if (!r || r->status != 200 || r->body.empty()) {
            ++unanswered;
            return false;
        }
        return true;
    };
    std::mutex sampleMutex;
    std::string sample;
    auto unexpected = [&](const std::string& body) {
        if (wrong++ == 0) {
            std::lock_guard lock(sampleMutex);
            sample = body;
        }
    };
    std::vector<std::thread> clients;
    for (int t = 0; t < kChaosClients; ++t)
        clients.emplace_back([&, t] {
            HttpClient c("127.0.0.1", port);
            for (int round = 0; running; ++round) {
                const int u = t * kUsersPerClient + round % kUsersPerClient;
                const std::string& id = ids[u];
                Ledger& ledger = ledgers[t][id];
                auto login = c.get(loginTarget("chaos" + std::to_string(u), "pw"));
                if (answered(login) && idOf(login->body) != id) unexpected(login->body);
                answered(c.get("/loadtyc.asp?page=" + std::to_string(round % 4 + 1)));
                for (int d = 0; d < 3; ++d) {
                    // Now and then a pair bought before, which must cost nothing.
                    const std::string ow = "下载" + std::to_string((round * 3 + d) % 40);
                    auto r = c.get(pointsTarget(id, ow, "词"));
                    if (!answered(r)) continue;
                    if (r->body.find('|') == std::string::npos) {
                        unexpected(r->body);
                        continue;
                    }
                    if (balanceOf(r->body) < 0) ++wrong;
                    ledger.paidPairs.insert(wycserver::pairKey(ow, "词"));
                }
                // A pair no one else shares: "already in" can only mean that an
                // earlier try of this very request was accepted.
                const std::string ow = "共享" + id + "-" + std::to_string(round);
                // Every fourth round: an account has 100 shares a day.
                if (round % 4 != 0) continue;
                auto r = c.get(shareTarget(id, ow, "新"));
                if (answered(r)) {
                    if (r->body.find("共享成功") != std::string::npos ||
                        r->body.find("已经在网络词库中") != std::string::npos)
                        ledger.sharedPairs.insert(ow);
                    else
                        unexpected(r->body);
                }
            }
        });
    const auto pause = std::chrono::duration<double>(seconds / 5);
    for (int i = 0; i < 2; ++i) {
        std::this_thread::sleep_for(pause);
        cluster.kill(i);
        std::this_thread::sleep_for(pause);
        cluster.restart(i);
    }
    std::this_thread::sleep_for(pause);
    running = false;
    for (auto& c : clients)
        c.join();

    ChaosResult out;
    out.requests = requests;
    out.unanswered = unanswered;
    out.wrong = wrong;
    out.sample = sample;
    wycserver::PgConnection db(uri);
    for (const auto& perClient : ledgers)
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
    return out;
}

std::string serverBinary() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "server" / "wyc-server").string();
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("PGHOST") && !std::getenv("WYC_TEST_POSTGRES")) {
        // A throw-away PostgreSQL cluster for this run.
        std::vector<char*> args{const_cast<char*>("pg_virtualenv")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp("pg_virtualenv", args.data());
        std::fprintf(stderr, "bench_cluster: needs PostgreSQL: run it under pg_virtualenv\n");
        return 1;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::signal(SIGPIPE, SIG_IGN);
    char tmpl[] = "/tmp/wyc-cluster-XXXXXX";
    const fs::path dir = ::mkdtemp(tmpl);
    // nginx workers run as another user when started by root.
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    const char* given = std::getenv("WYC_TEST_POSTGRES");
    const std::string base = given && *given ? given : "postgresql://";
    wycserver::PgConnection(base).run("DROP SCHEMA IF EXISTS wyc_bench CASCADE");
    wycserver::PgConnection(base).run("CREATE SCHEMA wyc_bench");
    const std::string uri = base + (base.find('?') == std::string::npos ? "?" : "&") +
                            "options=-csearch_path%3Dwyc_bench";

    bool pass = true;
    Speed speed[2];
    ChaosResult check;
    const char* names[2] = {"PostgreSQL", "SQLite (one file)"};
    for (int store = 0; store < 2; ++store) {
        const fs::path run = dir / (store == 0 ? "pg" : "sqlite");
        fs::create_directories(run);
        Cluster cluster(run, serverBinary(),
                        store == 0 ? std::vector<std::string>{"--database", uri}
                                   : std::vector<std::string>{"--data", (run / "wyc.db").string()});
        speed[store] = measure(cluster.port(), seconds, "load");
        if (store == 0) check = chaos(cluster, uri, std::max(5.0, seconds * 2));
    }
    wycserver::PgConnection(base).run("DROP SCHEMA wyc_bench CASCADE");

    std::printf("two wyc-server instances behind nginx on 127.0.0.1, %d keep-alive clients\n",
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
    std::printf("end-to-end, each instance killed and restarted in turn: %ld requests,"
                " %ld unanswered, %ld unexpected answers; %d balances off, %d negative,"
                " %d acknowledged downloads and %d acknowledged shares missing\n",
                check.requests, check.unanswered, check.wrong, check.balanceMismatches,
                check.negative, check.lostDownloads, check.lostShares);
    const bool sound = check.requests > 0 && check.unanswered == 0 && check.wrong == 0 &&
                       check.balanceMismatches == 0 && check.negative == 0 &&
                       check.lostDownloads == 0 && check.lostShares == 0;
    if (!check.sample.empty()) std::printf("first unexpected answer: %s\n", check.sample.c_str());
    std::printf("end-to-end check: %s\n", sound ? "PASS" : "FAIL");
    std::error_code ec;
    if (sound)
        fs::remove_all(dir, ec);
    else
        std::printf("logs kept in %s\n", dir.c_str());
    return sound && pass ? 0 : 1;
}
