#include "engine/field_reader.h"

#include <gtest/gtest.h>

namespace tessor {
namespace {

TEST(FieldReader, UnsignedFields) {
  struct Case {
    const char* label;
    const char* text;
    std::vector<uint32_t> values;
  } cases[] = {
      {"plain", "12,34,56", {12, 34, 56}},
      {"non-digits ignored", "1a2 b,3x", {12, 3}},
      {"empty fields read 0", ",,7", {0, 0, 7}},
      {"short answer leaves 0", "9", {9, 0, 0}},
      {"20 digits keep the low 32 bits", "12345678901234567890,1", {3944680146u, 1}},
      {"minus ignored", "-5", {5}},
  };
  for (const Case& c : cases) {
    FieldReader f(c.text, 0);
    for (uint32_t v : c.values) EXPECT_EQ(f.Unsigned(), v) << c.label;
  }
}

TEST(FieldReader, SignedFields) {
  FieldReader f("-25,25-,1-2,99999999999999999999,7", 0);
  EXPECT_EQ(f.Signed(), -25);
  EXPECT_EQ(f.Signed(), -25);
  EXPECT_EQ(f.Signed(), -12);
  EXPECT_EQ(f.Signed(), static_cast<int32_t>(1661992959u));
  EXPECT_EQ(f.Signed(), 7);
  EXPECT_EQ(f.Signed(), 0);
}

TEST(FieldReader, DecimalFields) {
  FieldReader f("2503.4512,-12.5,7,.25,1.2.3,", 0);
  EXPECT_NEAR(f.Decimal(), 2503.4512, 1e-9);
  EXPECT_DOUBLE_EQ(f.Decimal(), -12.5);
  EXPECT_DOUBLE_EQ(f.Decimal(), 7.0);
  EXPECT_DOUBLE_EQ(f.Decimal(), 0.25);
  // A second point is not a point: its digits go on at the same weight step.
  EXPECT_NEAR(f.Decimal(), 1.23, 1e-9);
  EXPECT_DOUBLE_EQ(f.Decimal(), 0.0);
}

TEST(FieldReader, TextFieldsStopAtCommaAsteriskOrEnd) {
  FieldReader f("abc,de*f,,xyz", 0);
  EXPECT_EQ(f.Text(), "abc");
  EXPECT_EQ(f.Text(), "de");
  EXPECT_TRUE(f.Text().empty());  // stopped at "*", which it does not pass
  FieldReader g("a-very-long-field,next", 0);
  EXPECT_EQ(g.Text(6), "a-very") << "cut to the room given, never past it";
  EXPECT_EQ(g.Text(), "next");
}

TEST(FieldReader, NumbersFromText) {
  EXPECT_EQ(TextToLong("2097152"), 2097152);
  EXPECT_EQ(TextToLong("  -12x"), -12);
  EXPECT_EQ(TextToLong("abc"), 0);
  EXPECT_EQ(HexTextToULong("3F"), 0x3Fu);
  EXPECT_EQ(HexTextToULong("a7"), 0xA7u);
  EXPECT_EQ(HexTextToULong("1FZ"), 0x1Fu);
}

}  // namespace
}  // namespace tessor
