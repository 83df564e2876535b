#pragma once
// Command-line options of wyc-server.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8600; // 0 = any free port
    std::string dataFile = "wyc-server.db";
    // A new data file gets a few dozen starter pairs in the shared thesaurus.
    bool starterPairs = true;
    // One line per request on standard output (paths only, never queries).
    bool accessLog = false;
    // Largest request body accepted.
    std::size_t maxBodyBytes = 4u << 20;
};

struct ParsedOptions {
    std::optional<ServerOptions> options; // empty: exit with `exitCode`
    int exitCode = 0;
    std::string message; // usage or error text to print
};

ParsedOptions parseServerOptions(const std::vector<std::string>& args);
std::string serverUsage();
