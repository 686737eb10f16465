#include "PostgresServer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace arkavo::test {
namespace {

namespace fs = std::filesystem;

bool isProgram(const fs::path &p)
{
    return ::access(p.c_str(), X_OK) == 0;
}

// Debian's server programs first (the newest version), then initdb on the search path, so other
// installations in /usr/local/bin are used only when Debian's are missing.
std::string findServerPrograms()
{
    std::vector<fs::path> debian;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (isProgram(e.path() / "bin/initdb") && isProgram(e.path() / "bin/pg_ctl"))
            debian.push_back(e.path() / "bin");
    if (!debian.empty()) {
        std::sort(debian.begin(), debian.end(), [](const fs::path &a, const fs::path &b) {
            return std::stoi(a.parent_path().filename().string()) <
                   std::stoi(b.parent_path().filename().string());
        });
        return debian.back().string();
    }
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && isProgram(fs::path(dir) / "initdb") && isProgram(fs::path(dir) / "pg_ctl"))
            return dir;
    return {};
}

std::string quoted(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::unique_ptr<PostgresServer> &sharedServer()
{
    static std::unique_ptr<PostgresServer> server;
    return server;
}

} // namespace

bool PostgresServer::ProgramsInstalled()
{
    return !findServerPrograms().empty();
}

PostgresServer *PostgresServer::Shared(std::string *whyNot)
{
    static bool tried = false;
    static std::string reason;
    if (!tried) {
        tried = true;
        const std::string bin = findServerPrograms();
        if (bin.empty()) {
            reason = "no PostgreSQL server programs (initdb, pg_ctl) are installed";
        } else {
            std::unique_ptr<PostgresServer> server(new PostgresServer);
            if (server->start(bin, &reason))
                sharedServer() = std::move(server);
        }
    }
    if (whyNot)
        *whyNot = reason;
    return sharedServer().get();
}

int PostgresServer::run(const std::string &command) const
{
    const int status = std::system((m_asServerUser + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool PostgresServer::start(const std::string &bin, std::string *whyNot)
{
    m_bin = bin;
    const std::string dir = m_dir.path().string();
    if (::geteuid() == 0) {
        if (::chown(dir.c_str(), 65534, 65534) != 0) {
            *whyNot = "cannot hand the server folder to user nobody";
            return false;
        }
        m_asServerUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const std::string data = dir + "/data";
    const std::string log = dir + "/server.log";
    if (run(quoted(bin + "/initdb") + " -D " + quoted(data) +
            " -U arkavo -A trust -E UTF8 --locale=C --no-sync --no-instructions >" +
            quoted(dir + "/initdb.log") + " 2>&1") != 0) {
        *whyNot = "initdb failed, see " + dir + "/initdb.log";
        return false;
    }
    const std::string options = "-k " + dir + " -c listen_addresses= -F";
    if (run(quoted(bin + "/pg_ctl") + " -D " + quoted(data) + " -l " + quoted(log) + " -w -s -o " +
            quoted(options) + " start") != 0) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        *whyNot = "the PostgreSQL server did not start: " + text.str();
        return false;
    }
    m_running = true;
    // Should this program die without its destructors, the watchdog stops the server and removes
    // the folder once the program is gone.
    const std::string stop =
        m_asServerUser + quoted(bin + "/pg_ctl") + " -D " + quoted(data) + " -m immediate -s stop";
    const std::string watchdog = "while kill -0 " + std::to_string(::getpid()) +
                                 " 2>/dev/null; do sleep 1; done; if [ -d " + quoted(data) + " ]; then " +
                                 stop + "; rm -rf " + quoted(dir) + "; fi";
    std::system(("setsid -f sh -c " + quoted(watchdog) + " >/dev/null 2>&1 </dev/null").c_str());
    return true;
}

std::string PostgresServer::ConnectionString(const std::string &database) const
{
    return "host=" + m_dir.path().string() + " dbname=" + database + " user=arkavo";
}

std::string PostgresServer::NewDatabase()
{
    const std::string name = "catalog" + std::to_string(++m_databases);
    if (run(quoted(m_bin + "/createdb") + " -h " + quoted(m_dir.path().string()) + " -U arkavo " + name) != 0)
        return {};
    return ConnectionString(name);
}

PostgresServer::~PostgresServer()
{
    if (m_running)
        run(quoted(m_bin + "/pg_ctl") + " -D " + quoted(m_dir.path().string() + "/data") +
            " -m fast -s -w stop");
}

} // namespace arkavo::test
