#pragma once
// The nginx example of deploy/ run on loopback ports in front of server
// instances, for tests and benchmarks: the file as shipped, with its listen
// address, its upstream ports and its log paths put to the run's own, and TLS
// left out. Needs the nginx program; available() tells.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

class NginxFront {
  public:
    static bool available();
    // The shipped example turned into a whole configuration for `dir`.
    static std::string configuration(const std::filesystem::path& example,
                                     const std::filesystem::path& dir,
                                     const std::vector<int>& upstreamPorts, int listenPort);

    // Starts nginx (in the foreground, as a child) and waits until it listens.
    NginxFront(const std::filesystem::path& example, const std::filesystem::path& dir,
               const std::vector<int>& upstreamPorts);
    ~NginxFront();
    NginxFront(const NginxFront&) = delete;
    NginxFront& operator=(const NginxFront&) = delete;

    int port() const { return m_port; }
    std::string accessLog() const;
    std::string errorLog() const;

  private:
    std::filesystem::path m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
};
