#include "explain/notes.h"

#include <gtest/gtest.h>

#include <string_view>

namespace joinrel {
namespace {

// Only well-formed UTF-8 is a character, as the page's decoder reads it: a
// byte of any other sequence stands for none, so that a note never names a
// character the page does not show.
TEST(NotesTest, DecodesWellFormedUtf8Only) {
  const struct {
    std::string_view bytes;
    bool valid;
    char32_t codePoint;
    std::size_t length;
  } cases[] = {
      {"a", true, U'a', 1},
      {"\xc2\xad", true, 0xAD, 2},
      {"\xe2\x80\x8b", true, 0x200B, 3},
      {"\xf3\xa0\x80\x81", true, 0xE0001, 4},
      {"\xf0\x82\x80\x8b", false, 0, 1},  // U+200B in four bytes: overlong
      {"\xc0\x80", false, 0, 1},          // overlong NUL
      {"\xed\xa0\x80", false, 0, 1},      // a surrogate
      {"\xf4\x90\x80\x80", false, 0, 1},  // past U+10FFFF
      {"\xe2\x80", false, 0, 1},          // cut short
      {"\xe2\x28\xa1", false, 0, 1},      // a byte that continues nothing
      {"\x80", false, 0, 1},
  };
  for (const auto& c : cases) {
    const Decoded decoded = decodeUtf8(c.bytes);
    EXPECT_EQ(decoded.valid, c.valid) << c.bytes;
    EXPECT_EQ(decoded.length, c.length) << c.bytes;
    if (c.valid) {
      EXPECT_EQ(decoded.codePoint, c.codePoint) << c.bytes;
    }
  }
}

// The ends of the ranges, which the page's \p{Default_Ignorable_Code_Point}
// and \p{Bidi_Control} agree with.
TEST(NotesTest, KnowsInvisibleCharactersAndBidiControls) {
  for (const char32_t c : {0xADU, 0x115FU, 0x1160U, 0x180FU, 0x200BU, 0x206FU, 0x3164U, 0xFEFFU,
                           0xFFA0U, 0xFFF8U, 0x1D17AU, 0xE0000U, 0xE0FFFU}) {
    EXPECT_TRUE(isInvisible(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (const char32_t c :
       {0x20U, 0xACU, 0xAEU, 0x1161U, 0x2010U, 0x2070U, 0xFFF9U, 0x1D17BU, 0xE1000U}) {
    EXPECT_FALSE(isInvisible(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (const char32_t c : {0x61CU, 0x200EU, 0x200FU, 0x202AU, 0x202EU, 0x2066U, 0x2069U}) {
    EXPECT_TRUE(isBidiControl(c) && isInvisible(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (const char32_t c : {0x200DU, 0x2029U, 0x202FU, 0x2065U, 0x206AU}) {
    EXPECT_FALSE(isBidiControl(c)) << std::hex << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace joinrel
