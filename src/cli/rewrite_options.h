#pragma once
// The rewrite options that `wyc-cli rewrite` and `wyc-cli batch` share, read
// by one parser so both commands take them alike.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/pipeline.h"
#include "engine/stringlist.h"
#include "html/page.h"

namespace cli {

struct RewriteOptions {
    std::string dbPath;               // empty: found by resolveDatabase()
    engine::RewriteSettings settings; // frequency set by checkRewriteOptions
    std::optional<long long> frequency;
    std::optional<std::uint64_t> seed;
    StringList protectedWords;          // from --protect, GBK
    html::Mode html = html::Mode::Keep; // --html
};

// The thesaurus a command rewrites with: read from opts.dbPath (found as the
// window finds it when not given) when synonyms are on, otherwise only the
// protected words of the command line, which keep the shuffle from cutting
// them either way. None, with the reason on standard error, when it cannot be
// read.
std::shared_ptr<const engine::Thesaurus> commandThesaurus(RewriteOptions& opts,
                                                          const char* command);

// The help lines of the shared options.
extern const char kRewriteOptionsHelp[];

// One argument of a command line, "--name", "--name=VALUE" or "-x", with
// access to its value (inline or the next argument).
class Argument {
  public:
    // Reads argv[i]; value() may advance i past the value.
    Argument(int argc, char** argv, int& i);
    const std::string& name() const { return m_name; }
    // True when no inline value was given (a flag must not have one).
    bool isFlag() const { return !m_inline; }
    bool value(std::string& out);

  private:
    int m_argc;
    char** m_argv;
    int& m_i;
    std::string m_name;
    std::optional<std::string> m_inline;
};

enum class Parsed { Taken, NotMine, Error };
// Takes the argument when it is a shared rewrite option; on Error, `error`
// holds the message for the usage error.
Parsed parseRewriteOption(Argument& arg, RewriteOptions& options, std::string& error);

// Checks what only makes sense as a whole (the frequency's range) and
// completes the shuffle options; the message of a failure, or nothing.
std::optional<std::string> checkRewriteOptions(RewriteOptions& options);

std::optional<std::uint64_t> parseUnsigned(const std::string& s);
std::string lower(std::string s);

} // namespace cli
