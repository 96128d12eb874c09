// The line composer, linked directly: digits, prefixes and printf forms are
// checked byte for byte against what the host parses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "selection/command_line.h"

namespace {

std::vector<std::string> g_sent;
void* const kContext = &g_sent;

int Record(void* context, const char* line) {
  EXPECT_EQ(context, kContext);
  g_sent.emplace_back(line);
  return 0;
}

LayoutGeneric Local() {
  LayoutGeneric local{};
  local.context = kContext;
  local.evaluate = Record;
  return local;
}

TEST(AppendItemHex, WritesEightUpperCaseDigitsOfTheLow32Bits) {
  struct Case {
    ItemId item;
    const char* digits;
  };
  const Case cases[] = {
      {0x2A, "0000002A"},       {0x1000002A, "1000002A"},
      {0xDEADBEEF, "DEADBEEF"}, {0x4003004C, "4003004C"},
      {0, "00000000"},          {static_cast<ItemId>(0xABCDull << 48 | 0x20000001u), "20000001"},
  };
  for (const Case& c : cases) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    AppendItemHex(c.item, buffer);
    EXPECT_STREQ(buffer, c.digits);
    EXPECT_EQ(buffer[9], '#') << "wrote past the terminator";
  }
}

// The digits are made by arithmetic on all eight at once, so every digit value
// in every place is checked against printf, and a spread of ids beyond.
TEST(AppendItemHex, AgreesWithPrintfInEveryPlace) {
  std::vector<std::uint32_t> values;
  for (std::uint32_t digit = 0; digit < 16; ++digit) {
    for (int place = 0; place < 8; ++place) {
      values.push_back(digit << (4 * place));
      values.push_back(~(digit << (4 * place)));
      values.push_back(0x9A9A9A9Au ^ (digit << (4 * place)));
    }
  }
  std::uint32_t mixed = 0x2545F491u;
  for (int count = 0; count < 100000; ++count) values.push_back(mixed = mixed * 1664525u + 1013904223u);
  int wrong = 0;
  for (const std::uint32_t value : values) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08X", static_cast<unsigned>(value));
    char buffer[9];
    AppendItemHex(static_cast<ItemId>(0x7F00ull << 48) | value, buffer);
    if (std::strcmp(buffer, expected) != 0 && ++wrong <= 5) ADD_FAILURE() << buffer << " for " << expected;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(CommandLine, PrefixSwitchRewritesOnlyWhatFollows) {
  g_sent.clear();
  LayoutGeneric local = Local();
  CommandLine line = StartCommandLine(&local, kSelectPrefix);
  SendItemLine(line, 0x1000002A);
  SetLinePrefix(line, kAddPrefix);
  SendItemLine(line, 0x10000003);
  SendItemLine(line, static_cast<ItemId>(0xFFFFull << 40 | 0x400A0001u));
  EXPECT_EQ(g_sent,
            (std::vector<std::string>{"SelectItem 1000002A", "AddToSelection 10000003", "AddToSelection 400A0001"}));
}

TEST(CommandLine, PrintfFormsAreLowerCaseWithoutLeadingZeros) {
  g_sent.clear();
  LayoutGeneric local = Local();
  CommandLine line = StartCommandLine(&local, kAddPrefix);
  SendShortHexLine(line, kSelectPrefix, 0x2A);
  SendShortHexLine(line, kRemovePrefix, static_cast<ItemId>(0x1ull << 32 | 0xFEDCBA98u));
  SendFixedLine(line, kEditModeLines[3]);
  EXPECT_EQ(g_sent, (std::vector<std::string>{"SelectItem 2a", "RemoveFromSelection fedcba98", "EditBones"}));
  // The longest line the module can send still fits the host's 28 bytes.
  EXPECT_LE(std::strlen("RemoveFromSelection ffffffff"), kCommandLineCapacity - 1);
}

TEST(CommandLine, ShortHexIsWhatPrintfWouldWrite) {
  std::vector<std::uint32_t> values = {0, 1, 0xF, 0x10, 0xFF, 0x100, 0xABCDE, 0x0FFFFFFF, 0x10000000, 0xFFFFFFFF};
  for (std::uint32_t shift = 0; shift < 32; ++shift) values.push_back(0x9E3779B9u >> shift);
  LayoutGeneric local = Local();
  CommandLine line = StartCommandLine(&local, kAddPrefix);
  for (const std::uint32_t value : values) {
    g_sent.clear();
    SendShortHexLine(line, kSelectPrefix, static_cast<ItemId>(0xABCDull << 48) | value);
    char expected[32];
    std::snprintf(expected, sizeof expected, "SelectItem %x", static_cast<unsigned>(value));
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0], expected);
  }
}

TEST(CommandLine, FixedLinesReplaceWhatWasThereAndNeverOverrun) {
  g_sent.clear();
  LayoutGeneric local = Local();
  CommandLine line = StartCommandLine(&local, kAddPrefix);
  SendShortHexLine(line, kRemovePrefix, 0xFEDCBA98u);
  SendFixedLine(line, kEditModeLines[0]);
  SendFixedLine(line, "");
  SendFixedLine(line, "EditObjects and a great deal more than fits");
  EXPECT_EQ(g_sent,
            (std::vector<std::string>{
                "RemoveFromSelection fedcba98", "EditObjects", "",
                std::string("EditObjects and a great deal more than fits").substr(0, kCommandLineCapacity - 1)}));
}

}  // namespace
