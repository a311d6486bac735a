#include "engine/framing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/result_codes.h"

namespace tessor {
namespace {

TEST(FrameSentence, AppendsChecksumAndLineEnd) {
  struct Case {
    const char* text;
    const char* framed;
  } cases[] = {
      {"$PSRF107", "$PSRF107*21\r\n"},
      {"$LOG101,0", "$LOG101,0*68\r\n"},
      {"$LOG104,1", "$LOG104,1*6C\r\n"},
      // Every "$" is skipped, not only the first.
      {"$A$B", "$A$B*03\r\n"},
      {"", "*00\r\n"},
  };
  for (const Case& c : cases) {
    char buffer[kCommandBufferSize] = {};
    std::strcpy(buffer, c.text);
    ASSERT_EQ(FrameSentence(buffer), kResultOk) << c.text;
    EXPECT_STREQ(buffer, c.framed) << c.text;
    EXPECT_EQ(FramedSentence(c.text), c.framed);
  }
}

TEST(FrameSentence, RefusesTextsOf507CharactersOrMore) {
  char buffer[kCommandBufferSize] = {};
  std::memset(buffer, 'A', 506);
  ASSERT_EQ(FrameSentence(buffer), kResultOk);
  EXPECT_EQ(std::strlen(buffer), 511u);
  EXPECT_EQ(std::string(buffer + 506, 3), "*00");  // an even count of "A" cancels out

  std::memset(buffer, 0, sizeof buffer);
  std::memset(buffer, 'A', 507);
  EXPECT_EQ(FrameSentence(buffer), kResultTooLong);
  EXPECT_EQ(std::strlen(buffer), 507u) << "nothing may be appended";

  // A buffer without a terminator is too long as well, never read past.
  std::memset(buffer, 'A', sizeof buffer);
  EXPECT_EQ(FrameSentence(buffer), kResultTooLong);
  EXPECT_EQ(FramedSentence(std::string(600, 'A')), "");
}

}  // namespace
}  // namespace tessor
