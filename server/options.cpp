#include "options.h"

#include <charconv>

std::string serverUsage() {
    return "usage: wyc-server [--port N] [--data FILE] [--host ADDRESS] [--no-starter-pairs]"
           " [--quiet]\n"
           "  --port N            port to listen on (default 8600; 0 picks a free port)\n"
           "  --data FILE         SQLite data file, created when missing (default wyc-server.db)\n"
           "  --host ADDRESS      address to listen on (default 127.0.0.1)\n"
           "  --no-starter-pairs  leave the shared thesaurus of a new data file empty\n"
           "  --quiet             no access log on standard output\n";
}

namespace {

bool parsePort(const std::string& text, int& port) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535)
        return false;
    port = value;
    return true;
}

ParsedOptions failure(const std::string& why) {
    return {std::nullopt, 2, "wyc-server: " + why + "\n" + serverUsage()};
}

} // namespace

ParsedOptions parseServerOptions(const std::vector<std::string>& args) {
    ServerOptions opt;
    opt.accessLog = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value) return value;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        if (name == "--help" || name == "-h") return {std::nullopt, 0, serverUsage()};
        if (name == "--port") {
            auto v = takeValue();
            if (!v || !parsePort(*v, opt.port)) return failure("--port needs a number 0-65535");
        } else if (name == "--data") {
            auto v = takeValue();
            if (!v || v->empty()) return failure("--data needs a file name");
            opt.dataFile = *v;
        } else if (name == "--host") {
            auto v = takeValue();
            if (!v || v->empty()) return failure("--host needs an address");
            opt.host = *v;
        } else if (name == "--no-starter-pairs" && !value) {
            opt.starterPairs = false;
        } else if (name == "--quiet" && !value) {
            opt.accessLog = false;
        } else {
            return failure("unknown option '" + args[i] + "'");
        }
    }
    return {opt, 0, {}};
}
