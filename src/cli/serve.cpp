// serve: the rewrite service, for collectors and site back ends that rewrite
// over HTTP (see src/service/rewrite_service.h).
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>

#include "cli/commands.h"
#include "cli/default_db.h"
#include "cli/rewrite_options.h"
#include "service/rewrite_service.h"

namespace cli {
namespace {

const std::string kUsage =
    std::string(
        "usage: wyc-cli serve [OPTIONS]\n"
        "Serves the rewrite over HTTP with the thesaurus of one setting.dat:\n"
        "  POST /api/rewrite   the article in a field content (form, multipart or\n"
        "                      JSON) or as a text/plain body; the rewrite options below\n"
        "                      as fields of the same names (synonyms, shuffle, keyword,\n"
        "                      frequency, strip_spaces, strip_breaks, protect, seed)\n"
        "                      in the body or the query. Answer: JSON {\"text\",\n"
        "                      \"originality\", \"replacements\"}; format=text answers the\n"
        "                      text alone; charset=gbk reads and answers text in GBK.\n"
        "  GET  /api/health    200 with the number of pairs loaded\n"
        "  GET  /              a page to rewrite by hand in a browser\n"
        "The thesaurus is read again when setting.dat changes and on SIGHUP; SIGTERM\n"
        "stops the service.\n"
        "\n"
        "options:\n"
        "  --bind ADDR        address to listen on (default: 127.0.0.1). Any address\n"
        "                     but a loopback one needs --token-file.\n"
        "  --port N           port (default: 8610; 0: any free port)\n"
        "  --token-file FILE  every rewrite must carry the token of FILE's first line,\n"
        "                     as \"Authorization: Bearer TOKEN\" or a field token\n"
        "  --max-connections N  connections open at once (default: 4096)\n"
        "  --workers N        threads that rewrite (default: one per core)\n"
        "  --queue N          rewrites waiting for a thread; more are refused with 503\n"
        "                     (default: 1024)\n"
        "  --access-log       one line per request on standard output\n"
        "The rewrite options are the defaults of every request; a request's protect\n"
        "words are added to those of --protect:\n") +
    kRewriteOptionsHelp +
    "  -h, --help         show this text\n"
    "\n"
    "exit status: 0 when stopped by SIGTERM or SIGINT; 1 when it cannot start; 2 on a\n"
    "usage error.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "serve: %s\n%s", message.c_str(), kUsage.c_str());
    return 2;
}

bool readCount(Argument& arg, unsigned long long max, unsigned long long& out) {
    std::string v;
    if (!arg.value(v)) return false;
    const auto n = parseUnsigned(v);
    if (!n || *n > max) return false;
    out = *n;
    return true;
}

} // namespace

int serveMain(int argc, char** argv) {
    RewriteOptions rewrite;
    service::ServiceOptions options;
    std::string tokenFile;
    for (int i = 1; i < argc; ++i) {
        Argument arg(argc, argv, i);
        const std::string& name = arg.name();
        std::string error, v;
        switch (parseRewriteOption(arg, rewrite, error)) {
        case Parsed::Taken:
            continue;
        case Parsed::Error:
            return usageError(error);
        case Parsed::NotMine:
            break;
        }
        unsigned long long n = 0;
        if (name == "-h" || name == "--help") {
            std::fputs(kUsage.c_str(), stdout);
            return 0;
        } else if (name == "--bind") {
            if (!arg.value(options.front.bind) || options.front.bind.empty())
                return usageError("--bind needs an address");
        } else if (name == "--port") {
            if (!readCount(arg, 65535, n))
                return usageError("--port needs a number from 0 to 65535");
            options.front.port = static_cast<int>(n);
        } else if (name == "--token-file") {
            if (!arg.value(tokenFile) || tokenFile.empty())
                return usageError("--token-file needs a file name");
        } else if (name == "--max-connections") {
            if (!readCount(arg, 1000000, n) || n == 0)
                return usageError("--max-connections needs a number from 1 to 1000000");
            options.front.maxConnections = static_cast<unsigned>(n);
        } else if (name == "--workers") {
            if (!readCount(arg, 256, n) || n == 0)
                return usageError("--workers needs a number from 1 to 256");
            options.front.workThreads = static_cast<unsigned>(n);
        } else if (name == "--queue") {
            if (!readCount(arg, 1000000, n) || n == 0)
                return usageError("--queue needs a number from 1 to 1000000");
            options.front.maxWaiting = n;
        } else if (name == "--access-log") {
            if (!arg.isFlag()) return usageError("option --access-log takes no value");
            options.front.accessLog = true;
        } else {
            return usageError("unknown option " + name);
        }
    }
    if (auto problem = checkRewriteOptions(rewrite)) {
        std::fprintf(stderr, "serve: %s\n", problem->c_str());
        return 1;
    }
    // The thesaurus is found as every command finds it (a setting.dat of the
    // working folder, else the user's own).
    if (!resolveDatabase(rewrite.dbPath, "serve")) return 1;
    options.dbPath = rewrite.dbPath;
    options.defaults = {rewrite.settings, rewrite.seed, rewrite.protectedWords, rewrite.html};

    // The signals are taken by this thread alone, in the loop below: every
    // thread the service starts inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGHUP, SIGTERM, SIGINT})
        sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Every connection is a file descriptor: the soft limit (often 1024)
    // would stop the service far below its connection cap.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        rlim_t wanted = options.front.maxConnections + rlim_t{64};
        if (files.rlim_max != RLIM_INFINITY) wanted = std::min(wanted, files.rlim_max);
        if (wanted > files.rlim_cur) {
            files.rlim_cur = wanted;
            setrlimit(RLIMIT_NOFILE, &files);
        }
    }

    std::unique_ptr<service::RewriteService> server;
    int port = 0;
    try {
        if (!tokenFile.empty()) options.token = service::readTokenFile(tokenFile);
        server = std::make_unique<service::RewriteService>(options);
        port = server->start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "serve: %s\n", e.what());
        return 1;
    }
    const bool v6 = options.front.bind.find(':') != std::string::npos;
    std::printf("listening on http://%s%s%s:%d/ (%zu pairs)\n", v6 ? "[" : "",
                options.front.bind.c_str(), v6 ? "]" : "", port,
                server->snapshot()->full->pairCount());
    std::fflush(stdout);

    // Once a second the file is checked for changes; SIGHUP reloads at once.
    const timespec second{1, 0};
    for (;;) {
        const int s = sigtimedwait(&signals, nullptr, &second);
        if (s < 0 && errno != EAGAIN && errno != EINTR) break;
        if (s == SIGTERM || s == SIGINT) break;
        std::string error;
        if (s == SIGHUP ? server->reload(&error) : server->reloadIfChanged(&error)) {
            std::printf("thesaurus reloaded: %zu pairs\n", server->snapshot()->full->pairCount());
            std::fflush(stdout);
        } else if (!error.empty()) {
            std::fprintf(stderr, "serve: %s (the previous thesaurus stays in use)\n",
                         error.c_str());
        }
    }
    server->stop();
    return 0;
}

} // namespace cli
