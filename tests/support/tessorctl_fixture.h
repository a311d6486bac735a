#pragma once

#include <stdlib.h>

#include <string>
#include <vector>

#include "device_fixture.h"
#include "run_program.h"

namespace tessor::test {

// tessorctl run against simulated devices, with the protocol's pauses scaled
// and a settings store of the test's own (no saved port).
class TessorctlFixture : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    ::setenv("TESSOR_TIMING_SCALE", "0.5", 1);
    ::setenv("XDG_CONFIG_HOME", (data_home_ + "/config").c_str(), 1);
  }

  // Runs "tessorctl SUB --port PORT ARGS..."; scratch names its output files.
  ProgramResult RunOn(const std::string& port, std::vector<std::string> args,
                      const std::string& scratch = "run") {
    args.insert(args.begin(), TESSORCTL);
    args.insert(args.begin() + 2, {"--port", port});
    return RunProgram(args, data_home_ + "/" + scratch);
  }
};

}  // namespace tessor::test
