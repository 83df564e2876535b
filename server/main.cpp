// wyc-server: the companion vendor server of the desktop program.
//   wyc-server [--port 8600] [--data wyc-server.db | --database URI] [--host 127.0.0.1]
// Runs until SIGINT or SIGTERM; on either it first drains (stops taking
// connections and lets the open requests finish), then stops.
//   wyc-server --database URI --copy-from FILE
// Copies a SQLite data file into a new PostgreSQL store and exits.
//   wyc-server backup FILE [--data wyc-server.db]
// Writes a consistent copy of the SQLite data file while the server runs.
//   wyc-server admin [--data FILE | --database URI] COMMAND ...
// An operator's commands on the store (see admin.h).
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "admin.h"
#include "options.h"
#include "sqlite_storage.h"
#include "store_copy.h"
#include "vendor_server.h"

namespace {

int backup(const std::vector<std::string>& args) {
    std::string data = "wyc-server.db", target;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data" && i + 1 < args.size())
            data = args[++i];
        else if (args[i] == "--database")
            return std::fputs("wyc-server backup: a PostgreSQL store is backed up with pg_dump"
                              " (see README.md)\n",
                              stderr),
                   2;
        else if (target.empty() && args[i].rfind("--", 0) != 0)
            target = args[i];
        else
            return std::fputs("usage: wyc-server backup FILE [--data wyc-server.db]\n", stderr), 2;
    }
    if (target.empty())
        return std::fputs("usage: wyc-server backup FILE [--data wyc-server.db]\n", stderr), 2;
    struct stat st {};
    if (::stat(data.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "wyc-server backup: no data file %s\n", data.c_str());
        return 1;
    }
    try {
        wycserver::SqliteStorage store(data, false);
        store.backup(target);
        std::printf("wyc-server: backed up %s to %s\n", data.c_str(), target.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wyc-server backup: %s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "admin")
        return wycserver::runAdmin(std::vector<std::string>(args.begin() + 1, args.end()), std::cin,
                                   std::cout, std::cerr);
    if (!args.empty() && args[0] == "backup")
        return backup(std::vector<std::string>(args.begin() + 1, args.end()));

    const auto parsed = parseServerOptions(args);
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.exitCode ? stderr : stdout);
        return parsed.exitCode;
    }
    const ServerOptions& options = *parsed.options;
    if (!options.copyFrom.empty()) {
        try {
            const auto n = wycserver::copySqliteToPostgres(options.copyFrom, options.databaseUri);
            std::printf("wyc-server: copied %lld accounts, %lld shared pairs, %lld posts and"
                        " %lld paid downloads from %s\n",
                        static_cast<long long>(n.accounts), static_cast<long long>(n.pairs),
                        static_cast<long long>(n.posts), static_cast<long long>(n.downloads),
                        options.copyFrom.c_str());
            return 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "wyc-server: copy failed, nothing copied: %s\n", e.what());
            return 1;
        }
    }

    // The stop signals are taken by sigwait below, never by a handler, so the
    // server's threads (which inherit this mask) are stopped from normal code.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Every open connection is a file descriptor: allow as many as the system
    // lets this process have, so the connection limit is the one that counts.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    try {
        wycserver::VendorServer server(options);
        const int port = server.start();
        // The URI may hold a password: name only the kind of store.
        const std::string store = options.databaseUri.empty() ? "data file " + options.dataFile
                                                              : std::string("PostgreSQL database");
        std::string metrics = "no metrics";
        if (server.metricsPort() >= 0)
            metrics = "metrics on http://" + options.metricsHost + ":" +
                      std::to_string(server.metricsPort()) + "/metrics";
        std::printf("wyc-server: serving http://%s:%d/ (%s; %s)\n", options.host.c_str(), port,
                    store.c_str(), metrics.c_str());
        std::fflush(stdout);
        int sig = 0;
        sigwait(&stopSignals, &sig);
        std::printf("wyc-server: draining\n");
        std::fflush(stdout);
        server.drain();
        std::printf("wyc-server: stopping\n");
        std::fflush(stdout);
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wyc-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
