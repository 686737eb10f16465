#pragma once
// Points the scanner library at its built-in test device: a private configuration
// folder whose dll.conf loads only the "test" backend and whose test.conf gives an
// A4 scan area (the default area is smaller). The library reads the folder's name
// once per process, so one object serves the whole test run (see SaneEnvironment).
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace arkavo::test {

class SaneTestDevice {
public:
    SaneTestDevice()
    {
        std::ofstream(m_dir / "dll.conf") << "test\n";
        std::ofstream(m_dir / "test.conf") << "number_of_devices 2\n"
                                              "mode Gray\n"
                                              "depth 8\n"
                                              "hand-scanner false\n"
                                              "three-pass false\n"
                                              "three-pass-order RGB\n"
                                              "resolution_min 1.0\n"
                                              "resolution_max 1200.0\n"
                                              "resolution_quant 1.0\n"
                                              "resolution 50.0\n"
                                              "test-picture \"Solid black\"\n"
                                              "read-limit false\n"
                                              "read-delay false\n"
                                              "read-status-code \"Default\"\n"
                                              "fuzzy-parameters false\n"
                                              "ppl-loss 0\n"
                                              "non-blocking false\n"
                                              "select-fd false\n"
                                              "enable-test-options false\n"
                                              "geometry_min 0.0\n"
                                              "geometry_max 300.0\n"
                                              "geometry_quant 1.0\n"
                                              "tl_x 0.0\n"
                                              "tl_y 0.0\n"
                                              "br_x 210.0\n"
                                              "br_y 297.0\n";
        setenv("SANE_CONFIG_DIR", m_dir.path().c_str(), 1);
    }

private:
    TempDir m_dir;
};

// Sets the test device up for the whole run of a test program.
class SaneEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_device = std::make_unique<SaneTestDevice>(); }
    void TearDown() override { m_device.reset(); }

private:
    std::unique_ptr<SaneTestDevice> m_device;
};

} // namespace arkavo::test
