#pragma once
// Command-line options of wyc-server, and the limits that keep it serving
// under abuse (tests and benchmarks set the limits directly).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8600; // 0 = any free port
    std::string dataFile = "wyc-server.db";
    // A PostgreSQL connection URI: when set, the data live there instead of
    // in the data file, and several instances may share them.
    std::string databaseUri;
    // Copy this SQLite data file into the (empty) PostgreSQL store, then exit.
    std::string copyFrom;
    // The address of the reverse proxy in front: its requests name their
    // client in X-Real-IP or X-Forwarded-For. Empty: no proxy is trusted.
    std::string trustedProxy;
    // A new store shares the starter thesaurus of the desktop program.
    bool starterPairs = true;
    // One line per request on standard output (paths only, never queries),
    // as text or as JSON; errors go to standard error either way.
    bool accessLog = false;
    bool jsonLog = false;
    // Where log lines go instead of standard output and error (tests).
    std::function<void(const std::string&)> accessLogSink;
    std::function<void(const std::string&)> errorLogSink;

    // The metrics (Prometheus text at /metrics) listen apart from the
    // service: on metricsHost, port metricsPort (-1: the service's port plus
    // 1000, or any free port when the service's is 0).
    bool metrics = true;
    std::string metricsHost = "127.0.0.1";
    int metricsPort = -1;

    // Largest request body accepted; a larger declared one is refused before
    // it is read.
    std::size_t maxBodyBytes = 4u << 20;
    // Largest content of a test submission (decoded), and all posts kept together.
    std::size_t maxPostContentBytes = 1u << 20;
    std::int64_t keptPostBytes = 64ll << 20;
    // Largest request target (path and query).
    std::size_t maxTargetBytes = 8192;

    // Connections open at once, in all and from one client address.
    unsigned maxConnections = 10000;
    unsigned maxConnectionsPerAddress = 128;
    // A connection that sends nothing this long is closed; one whose request
    // (from its first byte, or the end of the previous answer, to the end of
    // its own answer) takes longer than the deadline is cut off.
    unsigned idleTimeoutSec = 15;
    unsigned requestDeadlineSec = 30;

    // Threads that read and write connections, threads that work on the
    // store, and threads that hash passwords (0: as many as there are
    // processor cores, 2 to 8; each hash in progress holds 19 MB).
    unsigned networkThreads = 2;
    unsigned storeThreads = 4;
    unsigned hashThreads = 0;
    // Requests waiting for a store thread, and logins and sign-ups waiting for
    // a hashing thread (in each of its two lanes); more are answered "busy".
    std::size_t maxWaitingStore = 256;
    std::size_t maxWaitingHashes = 512;
    // Longest a statement may run, and wait for a lock, a connection or the
    // data file, in milliseconds; past it the request is answered "busy".
    int statementTimeoutMs = 5000;
    int lockTimeoutMs = 2000;
    // How often the readiness check asks the store, in milliseconds.
    int readyPingMs = 250;

    // On SIGTERM: the longest wait for open connections to finish, and how
    // long one may sit idle before it is closed, in milliseconds.
    int drainTimeoutMs = 10000;
    int drainIdleGraceMs = 3000;

    // Sign-ups accepted from one client address per hour (five times as many
    // from one network, unless signUpsPerNetworkPerHour says otherwise).
    int signUpsPerHour = 10;
    int signUpsPerNetworkPerHour = 0;
    // Password checks within ten minutes for one account (from addresses it
    // never logged in from) and for one network.
    int guessesPerAccount = 20;
    int guessesPerNetwork = 50;
    // Test posts within ten minutes from one address and from one network,
    // in units of one per post and one more per 16 KB.
    std::int64_t postUnitsPerAddress = 600;
    std::int64_t postUnitsPerNetwork = 1800;
};

struct ParsedOptions {
    std::optional<ServerOptions> options; // empty: exit with `exitCode`
    int exitCode = 0;
    std::string message; // usage or error text to print
};

ParsedOptions parseServerOptions(const std::vector<std::string>& args);
std::string serverUsage();
