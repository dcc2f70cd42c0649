// The thread sanitizer build's own check: with the project's suppressions in force, a race between
// a pose-like callback and the main thread is still reported.
#include <gtest/gtest.h>

#include "support/process.h"

namespace zel::testing {
namespace {

using namespace std::chrono_literals;

TEST(SanitizerCanary, SuppressionsLeaveCallbackRacesReported) {
  RosMaster master;
  TempDir scratch;
  std::map<std::string, std::string> env = master.env();
  // Its report goes to its own standard error, not to the suite's report folder.
  env["TSAN_OPTIONS"] = std::string("suppressions=") + ZEL_TSAN_SUPPRESSIONS + ":exitcode=66";
  Process canary({ZEL_TSAN_CANARY}, env, scratch.path());
  EXPECT_EQ(canary.wait_for(60s), 66) << canary.err();
  EXPECT_NE(canary.err().find("WARNING: ThreadSanitizer: data race"), std::string::npos) << canary.err();
  EXPECT_NE(canary.err().find("on_location"), std::string::npos) << canary.err();
}

}  // namespace
}  // namespace zel::testing
