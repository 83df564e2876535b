#include "support/nginx_front.h"

#include "support/raw_client.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kNginx = "/usr/sbin/nginx";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool NginxFront::available() {
    return ::access(kNginx, X_OK) == 0;
}

std::string NginxFront::configuration(const fs::path& example, const fs::path& dir,
                                      const std::vector<int>& upstreamPorts, int listenPort) {
    std::istringstream in(readAll(example));
    std::string server, line;
    std::size_t upstream = 0;
    while (std::getline(in, line)) {
        const std::string trimmed = line.substr(std::min(line.size(), line.find_first_not_of(' ')));
        if (startsWith(trimmed, "listen 443") || startsWith(trimmed, "listen [::]") ||
            startsWith(trimmed, "ssl_"))
            continue;
        if (startsWith(trimmed, "listen 80;")) {
            server += "    listen 127.0.0.1:" + std::to_string(listenPort) + ";\n";
            continue;
        }
        if (startsWith(trimmed, "server 127.0.0.1:")) {
            // The example's upstream lines, each given a port of this run.
            if (upstream >= upstreamPorts.size()) continue;
            const auto options = trimmed.find(' ', std::string("server ").size());
            server += "    server 127.0.0.1:" + std::to_string(upstreamPorts[upstream++]) +
                      trimmed.substr(options) + "\n";
            continue;
        }
        for (std::size_t at; (at = line.find("/var/log/nginx/")) != std::string::npos;)
            line.replace(at, std::string("/var/log/nginx/").size(), dir.string() + "/");
        server += line + "\n";
    }
    const std::string tmp = (dir / "tmp").string();
    return "pid " + (dir / "nginx.pid").string() + ";\nerror_log " +
           (dir / "nginx-error.log").string() +
           ";\nworker_processes 1;\nevents { worker_connections 1024; }\nhttp {\n"
           "client_body_temp_path " +
           tmp + ";\nproxy_temp_path " + tmp + ";\naccess_log off;\n" + server + "}\n";
}

NginxFront::NginxFront(const fs::path& example, const fs::path& dir,
                       const std::vector<int>& upstreamPorts)
    : m_dir(dir), m_port(freeLoopbackPort()) {
    fs::create_directories(dir / "tmp");
    // nginx workers run as another user when started by root.
    for (const fs::path& p : {dir, dir / "tmp"})
        fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec |
                               fs::perms::others_write);
    const fs::path conf = dir / "nginx.conf";
    std::ofstream(conf) << configuration(example, dir, upstreamPorts, m_port);
    m_pid = ::fork();
    if (m_pid == 0) {
        const int fd = ::open((dir / "nginx.out").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execl(kNginx, kNginx, "-p", dir.c_str(), "-c", conf.c_str(), "-g", "daemon off;",
                static_cast<char*>(nullptr));
        _exit(127);
    }
    waitForListener(m_port);
}

NginxFront::~NginxFront() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGQUIT);
    ::waitpid(m_pid, nullptr, 0);
}

std::string NginxFront::accessLog() const {
    return readAll(m_dir / "wyc-access.log");
}

std::string NginxFront::errorLog() const {
    return readAll(m_dir / "wyc-error.log") + readAll(m_dir / "nginx-error.log");
}
