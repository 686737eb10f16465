#pragma once
// A throw-away PostgreSQL server for the tests: initdb and pg_ctl on a temporary folder, listening
// only on a Unix socket in that folder. Under root the server runs as user "nobody", since
// PostgreSQL refuses root. It is stopped and its folder removed when the test program ends, and
// by a watchdog when the program dies without ending.
#include "TempDir.h"

#include <memory>
#include <string>

namespace arkavo::test {

class PostgresServer {
public:
    // The server of this test program, started on first use. Nullptr when it cannot run, with
    // the reason in WhyNot (no server programs installed, or they failed).
    static PostgresServer *Shared(std::string *whyNot);
    // Whether initdb and pg_ctl are installed: a server that then fails to start is a fault,
    // not a reason to skip.
    static bool ProgramsInstalled();

    // A new, empty database on the server, as a libpq connection string.
    std::string NewDatabase();
    // The connection string for an existing database.
    std::string ConnectionString(const std::string &database) const;
    // The folder of the server's socket.
    const std::filesystem::path &SocketFolder() const { return m_dir.path(); }

    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

private:
    PostgresServer() = default;
    bool start(const std::string &bin, std::string *whyNot);
    int run(const std::string &command) const;

    TempDir m_dir;
    std::string m_bin;
    std::string m_asServerUser; // the command prefix that runs a program as the server's user
    bool m_running = false;
    int m_databases = 0;
};

} // namespace arkavo::test
