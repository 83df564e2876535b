#pragma once
// Shared test helpers: temporary directories, starter databases, UTF-8 -> GBK.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/codepage.h"

// GBK from a UTF-8 literal.
inline std::string g(std::string_view utf8) {
    return cp::utf8ToGbk(utf8);
}

// A fresh directory under the system's temporary folder, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    // path() + "/" as a GBK directory text, like ProgramDir.
    std::string dirText() const { return m_path.string() + "/"; }

  private:
    std::filesystem::path m_path;
};

// Changes the working directory for the lifetime of the object.
class ScopedCwd {
  public:
    explicit ScopedCwd(const std::filesystem::path& dir);
    ~ScopedCwd();

  private:
    std::filesystem::path m_old;
};

// A vendor server that takes every connection and never answers, for window
// tests whose commands start requests as a side effect: the requests stay
// pending until the window releases them, so no answer lands in the middle of
// a test. The window's vendor address points at it for its lifetime.
class SilentVendor {
  public:
    SilentVendor();
    ~SilentVendor();
    SilentVendor(const SilentVendor&) = delete;
    SilentVendor& operator=(const SilentVendor&) = delete;

  private:
    int m_socket = -1;
};

// Sets an environment variable (unsets it for null) until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Points XDG_DATA_HOME at an empty folder of its own for the life of the test
// program, so that no test, nor a program a test runs, finds or makes the
// user's real thesaurus. The test programs' main() calls it first.
void isolateUserData();

struct PairSpec {
    std::string ow; // UTF-8
    std::string nw; // UTF-8
    bool isused = true;
};

// Creates a setting.dat at `file` holding the pairs in order (ids 1, 2, ...).
void makeDatabase(const std::filesystem::path& file, const std::vector<PairSpec>& pairs);

std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::string& bytes);
