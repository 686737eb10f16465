#include "EsclScanner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace arkavo::test {

namespace {

// A loaded machine may take a while to start the interpreter.
constexpr int kStartTimeoutMs = 15000;

std::filesystem::path freshLogPath()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "arkavo-escl-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot create the eSCL device's log file");
    close(fd);
    return pattern;
}

// The first line of the device's output, "PORT <n>", or 0 on time-out or early exit.
int readPort(int fd)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return 0;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return 0;
        char buffer[64];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 0;
        line.append(buffer, std::size_t(n));
    }
    if (line.rfind("PORT ", 0) != 0)
        return 0;
    return std::atoi(line.c_str() + 5);
}

} // namespace

EsclScanner::EsclScanner(const std::filesystem::path &pagesDir, Options options) : m_log(freshLogPath())
{
    std::vector<std::string> args = {ARKAVO_PYTHON3, ARKAVO_ESCL_SCANNER, "--pages", pagesDir.string(),
                                     "--log",        m_log.string()};
    if (options.jamOn > 0)
        args.insert(args.end(), {"--jam-on", std::to_string(options.jamOn)});
    if (options.coverOpenOn > 0)
        args.insert(args.end(), {"--cover-open-on", std::to_string(options.coverOpenOn)});
    if (options.sheetMs > 0)
        args.insert(args.end(), {"--sheet-ms", std::to_string(options.sheetMs)});
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe for the eSCL device");
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        throw std::runtime_error("cannot create a pipe for the eSCL device");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    if (spawned != 0) {
        m_pid = -1;
        close(out[0]);
        close(m_stdin);
        std::filesystem::remove(m_log);
        throw std::runtime_error("cannot start " ARKAVO_PYTHON3);
    }
    m_port = readPort(out[0]);
    close(out[0]);
    if (m_port <= 0) {
        stop();
        throw std::runtime_error("the eSCL device did not report its port");
    }
}

EsclScanner::~EsclScanner()
{
    stop();
}

void EsclScanner::stop()
{
    if (m_stdin >= 0)
        close(std::exchange(m_stdin, -1));
    if (m_pid > 0) {
        // Closing its input ends the device; one that hangs is killed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }
    std::error_code ec;
    std::filesystem::remove(m_log, ec);
}

std::string EsclScanner::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/eSCL";
}

std::vector<std::string> EsclScanner::requests() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_log);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

int EsclScanner::countRequests(std::initializer_list<const char *> fragments) const
{
    int n = 0;
    for (const std::string &line : requests()) {
        bool all = true;
        for (const char *f : fragments)
            all = all && line.find(f) != std::string::npos;
        n += all;
    }
    return n;
}

void WriteAirscanConfig(const std::filesystem::path &configDir, const std::string &deviceName,
                        const std::string &url)
{
    std::filesystem::create_directories(configDir);
    std::ofstream(configDir / "dll.conf") << "airscan\n";
    std::ofstream(configDir / "airscan.conf") << "[devices]\n"
                                              << '"' << deviceName << "\" = " << url << ", eSCL\n"
                                              << "[options]\n"
                                                 "discovery = disable\n"
                                                 "ws-discovery = off\n";
}

} // namespace arkavo::test
