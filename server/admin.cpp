#include "admin.h"

#include <sys/stat.h>

#include <charconv>
#include <istream>
#include <ostream>

#include "account_pages.h"
#include "passwords.h"
#include "storage.h"
#include "stored_abuse_limits.h"

namespace wycserver {

namespace {

// Ledger lines made here name their origin.
constexpr const char* kAdminRequest = "admin";

std::optional<std::int64_t> number(const std::string& text) {
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < words.size(); ++i)
        out += (i > from ? " " : "") + words[i];
    return out;
}

class Command {
  public:
    Command(Storage& store, const std::vector<std::string>& args, std::istream& in,
            std::ostream& out, std::ostream& err)
        : m_store(store), m_args(args), m_in(in), m_out(out), m_err(err) {}

    int run() {
        if (m_args.empty()) return usage("a command is missing");
        const std::string& verb = m_args[0];
        if (verb == "pairs") return pairs();
        if (m_args.size() < 2) return usage(verb + " needs an account");
        const auto account = find(m_args[1]);
        if (!account) return refuse("no account " + m_args[1]);
        if (verb == "show" && m_args.size() == 2) return show(*account);
        if ((verb == "grant" || verb == "take") && m_args.size() >= 4)
            return points(*account, verb == "grant");
        if ((verb == "disable" || verb == "enable") && m_args.size() == 2) {
            m_store.setDisabled(account->id, verb == "disable");
            return done(verb + "d account " + std::to_string(account->id));
        }
        if ((verb == "ban" || verb == "unban") && m_args.size() == 2) {
            m_store.setShareBanned(account->id, verb == "ban");
            return done(
                (verb == "ban" ? "shares refused for account " : "shares allowed for account ") +
                std::to_string(account->id));
        }
        if (verb == "unlock" && m_args.size() == 2) {
            m_store.clearEventsWithPrefix(accountKeyPrefix(std::to_string(account->id)));
            return done("login throttles lifted for account " + std::to_string(account->id));
        }
        if (verb == "password" && m_args.size() == 2) return password(*account);
        return usage("cannot understand: " + joined(m_args, 0));
    }

  private:
    std::optional<Account> find(const std::string& text) {
        if (auto id = number(text))
            if (auto a = m_store.findAccount(*id)) return a;
        return m_store.findAccount(text);
    }

    int done(const std::string& what) {
        m_out << what << "\n";
        return 0;
    }
    int refuse(const std::string& why) {
        m_err << "wyc-server admin: " << why << "\n";
        return 1;
    }
    int usage(const std::string& why) {
        m_err << "wyc-server admin: " << why << "\n" << adminUsage();
        return 2;
    }

    int show(const Account& a) {
        m_out << "account " << a.id << " " << a.name << ": " << a.points << " points"
              << (a.disabled ? ", disabled" : "") << (a.shareBanned ? ", shares refused" : "")
              << "\n";
        for (const auto& e : m_store.ledger(a.id))
            m_out << "  " << e.at << "  " << (e.change > 0 ? "+" : "") << e.change << "  "
                  << e.reason << (e.request.empty() ? "" : "  (" + e.request + ")") << "\n";
        return 0;
    }

    int points(const Account& a, bool grant) {
        const auto amount = number(m_args[2]);
        if (!amount || *amount <= 0 || *amount > 1'000'000'000)
            return usage("POINTS must be a number from 1 to 1000000000");
        const std::string reason = joined(m_args, 3);
        std::int64_t balance = 0;
        switch (m_store.adjustPoints(a.id, grant ? *amount : -*amount, reason, kAdminRequest,
                                     balance)) {
        case AdjustResult::Done:
            return done("account " + std::to_string(a.id) + " now has " + std::to_string(balance) +
                        " points");
        case AdjustResult::NotEnoughPoints:
            return refuse("account " + std::to_string(a.id) + " has only " +
                          std::to_string(balance) + " points");
        case AdjustResult::UnknownUser:
            break;
        }
        return refuse("no account " + m_args[1]);
    }

    int password(const Account& a) {
        std::string typed;
        if (!std::getline(m_in, typed)) return refuse("no password on standard input");
        if (!typed.empty() && typed.back() == '\r') typed.pop_back();
        if (auto why = passwordProblem(typed)) return refuse(*why);
        // The recovery code stays as it was: its owner still holds it.
        m_store.setPassword(a.id, hashPassword(typed), a.recoveryHash);
        return done("new password set for account " + std::to_string(a.id) +
                    "; its login tokens have ended");
    }

    int pairs() {
        if (m_args.size() < 2 || (m_args[1] != "list" && m_args[1] != "delete"))
            return usage("pairs needs list or delete");
        PairFilter filter;
        std::int64_t limit = 50;
        for (std::size_t i = 2; i < m_args.size(); i += 2) {
            if (i + 1 >= m_args.size()) return usage(m_args[i] + " needs a value");
            const std::string& name = m_args[i];
            const std::string& value = m_args[i + 1];
            if (name == "--word") {
                filter.word = value;
                continue;
            }
            const auto n = number(value);
            if (!n) return usage(name + " needs a number");
            if (name == "--id")
                filter.netId = *n;
            else if (name == "--sharer")
                filter.sharer = *n;
            else if (name == "--limit" && m_args[1] == "list")
                limit = *n;
            else
                return usage("unknown option " + name);
        }
        if (m_args[1] == "list") {
            for (const auto& p : m_store.findPairs(filter, limit))
                m_out << p.netId << "\t" << p.ow << "\t" << p.nw << "\t" << p.sharer << "\n";
            return 0;
        }
        if (!filter.netId && !filter.sharer && !filter.word)
            return usage("pairs delete needs --id, --sharer or --word");
        return done("deleted " + std::to_string(m_store.deletePairs(filter)) + " pairs");
    }

    Storage& m_store;
    const std::vector<std::string>& m_args;
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace

std::string adminUsage() {
    return "usage: wyc-server admin [--data FILE | --database URI] COMMAND\n"
           "  show ACCOUNT                     the account, its flags and its ledger\n"
           "  grant ACCOUNT POINTS REASON...   add points, with the reason in the ledger\n"
           "  take ACCOUNT POINTS REASON...    take points (never below zero)\n"
           "  disable ACCOUNT | enable ACCOUNT no login, points or shares while disabled\n"
           "  unlock ACCOUNT                   lift the account's login throttles\n"
           "  password ACCOUNT                 set the password read from standard input;\n"
           "                                   ends the account's login tokens\n"
           "  ban ACCOUNT | unban ACCOUNT      refuse (or allow again) the account's shares\n"
           "  pairs list [FILTER] [--limit N]  shared pairs, newest first (default 50)\n"
           "  pairs delete FILTER              FILTER: --id N, --sharer ID, --word WORD\n"
           "ACCOUNT is a user id or an account name.\n";
}

int runAdminCommand(Storage& store, const std::vector<std::string>& args, std::istream& in,
                    std::ostream& out, std::ostream& err) {
    try {
        return Command(store, args, in, out, err).run();
    } catch (const std::exception& e) {
        err << "wyc-server admin: " << e.what() << "\n";
        return 1;
    }
}

int runAdmin(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
    StoreLocation where;
    where.sqliteFile = "wyc-server.db";
    where.starterPairs = false;
    where.connections = 1;
    std::size_t i = 0;
    for (; i + 1 < args.size() && (args[i] == "--data" || args[i] == "--database"); i += 2)
        (args[i] == "--data" ? where.sqliteFile : where.postgresUri) = args[i + 1];
    if (i < args.size() && (args[i] == "--help" || args[i] == "-h")) {
        out << adminUsage();
        return 0;
    }
    struct stat st {};
    if (where.postgresUri.empty() && ::stat(where.sqliteFile.c_str(), &st) != 0) {
        err << "wyc-server admin: no data file " << where.sqliteFile << "\n";
        return 1;
    }
    try {
        auto store = openStorage(where);
        return runAdminCommand(*store, std::vector<std::string>(args.begin() + i, args.end()), in,
                               out, err);
    } catch (const std::exception& e) {
        err << "wyc-server admin: " << e.what() << "\n";
        return 1;
    }
}

} // namespace wycserver
