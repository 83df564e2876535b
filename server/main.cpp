// wyc-server: the companion vendor server of the desktop program.
//   wyc-server [--port 8600] [--data wyc-server.db | --database URI] [--host 127.0.0.1]
// Runs until SIGINT or SIGTERM.
//   wyc-server --database URI --copy-from FILE
// Copies a SQLite data file into a new PostgreSQL store and exits.
#include <csignal>
#include <cstdio>
#include <exception>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "options.h"
#include "store_copy.h"
#include "vendor_server.h"

int main(int argc, char** argv) {
    const auto parsed = parseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
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
        std::printf("wyc-server: serving http://%s:%d/ (%s)\n", options.host.c_str(), port,
                    store.c_str());
        std::fflush(stdout);
        int sig = 0;
        sigwait(&stopSignals, &sig);
        std::printf("wyc-server: stopping\n");
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wyc-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
