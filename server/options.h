#pragma once
// Command-line options of wyc-server, and the limits that keep it serving
// under abuse (tests and benchmarks set the limits directly).
#include <cstddef>
#include <cstdint>
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
    // A new data file gets a few dozen starter pairs in the shared thesaurus.
    bool starterPairs = true;
    // One line per request on standard output (paths only, never queries).
    bool accessLog = false;

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

    // Threads that read and write connections, and threads that hash
    // passwords (0: as many as there are processor cores, 2 to 8; each hash
    // in progress holds 19 MB).
    unsigned networkThreads = 2;
    unsigned hashThreads = 0;
    // Logins and sign-ups waiting for a hashing thread; more are refused.
    std::size_t maxWaitingHashes = 512;

    // Sign-ups accepted from one client address per hour.
    int signUpsPerHour = 10;
};

struct ParsedOptions {
    std::optional<ServerOptions> options; // empty: exit with `exitCode`
    int exitCode = 0;
    std::string message; // usage or error text to print
};

ParsedOptions parseServerOptions(const std::vector<std::string>& args);
std::string serverUsage();
