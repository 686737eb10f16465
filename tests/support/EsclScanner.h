#pragma once
// A driverless (eSCL) network scanner on the loopback interface, run from
// escl_scanner.py for the length of one test, and the scanner library's
// configuration that reaches it through the airscan backend.
#include <filesystem>
#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

namespace arkavo::test {

// How the device behaves; 0 for no fault and no delay.
struct EsclFaults {
    int jamOn = 0;       // the n-th sheet of the feeder jams
    int coverOpenOn = 0; // the cover is open when the n-th sheet is due
    int sheetMs = 0;     // time the device takes to scan a sheet
};

class EsclScanner {
public:
    using Options = EsclFaults;

    // Starts the device with the *.jpg files of pagesDir as the sheets in its feeder,
    // on a free port; throws std::runtime_error when it does not come up.
    explicit EsclScanner(const std::filesystem::path &pagesDir, Options options = {});
    // Stops the device, also when the test failed half-way.
    ~EsclScanner();
    EsclScanner(const EsclScanner &) = delete;
    EsclScanner &operator=(const EsclScanner &) = delete;

    int port() const { return m_port; }
    std::string url() const;

    // One JSON object per request the device answered, in order.
    std::vector<std::string> requests() const;
    // Requests whose text contains every one of the given fragments.
    int countRequests(std::initializer_list<const char *> fragments) const;

private:
    void stop();

    pid_t m_pid = -1;
    int m_stdin = -1; // the device ends when this closes
    int m_port = 0;
    std::filesystem::path m_log;
};

// Points the scanner library at the device alone: dll.conf loads only the airscan
// backend, and airscan.conf names the device by URL with network discovery off, so
// listing devices never waits on the network. The library reads the folder's name
// once per process; the files may be rewritten while it is shut down.
void WriteAirscanConfig(const std::filesystem::path &configDir, const std::string &deviceName,
                        const std::string &url);

} // namespace arkavo::test
