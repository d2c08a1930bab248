#include "script/script_line.h"

#include <gtest/gtest.h>

#include "script/escape.h"

namespace glim::script {
namespace {

using Kind = ParsedLine::Kind;

TEST(Escape, EveryEscapedCharacterRoundTrips) {
  const std::string raw = "a\"b\\c\r\n\td \xC3\xA9";
  const std::string shown = escapeText(raw);
  EXPECT_EQ(shown, "a\\\"b\\\\c\\r\\n\\td \xC3\xA9");
  std::string unescaped;
  EXPECT_TRUE(unescapeText(shown, unescaped).ok());
  EXPECT_EQ(unescaped, raw);
}

TEST(Escape, UnknownOrDanglingEscapeIsRefused) {
  for (const char* bad : {"C:\\dir", "end\\", "\\0", "\\x41"}) {
    std::string unescaped;
    const text::Outcome outcome = unescapeText(bad, unescaped);
    EXPECT_FALSE(outcome.ok()) << bad;
    EXPECT_FALSE(outcome.reason().empty()) << bad;
  }
}

TEST(ParseLine, BlankAndCommentLinesAreSkipped) {
  for (const char* line : {"", "\r", "   ", " \t ", "# note", "   # indented note", "#exit: 1\r"}) {
    EXPECT_EQ(parseLine(line).kind, Kind::Skip) << '"' << line << '"';
  }
}

struct TextCase {
  const char* line;
  Verb verb;
  const char* target;
  const char* text;
};

TEST(ParseLine, TextIsEverythingAfterTheSingleSpaceFollowingTheName) {
  const TextCase cases[] = {
      {"set tbSTVpw 12", Verb::Set, "tbSTVpw", "12"},
      {"set tbSTVpw  12 ", Verb::Set, "tbSTVpw", " 12 "},
      {"set tbSTVpw", Verb::Set, "tbSTVpw", ""},
      {"set tbSTVpw ", Verb::Set, "tbSTVpw", ""},
      {"set tbSTVpw a # b\r", Verb::Set, "tbSTVpw", "a # b"},
      {"  type   tbCPLDdata(9) 1F", Verb::Type, "tbCPLDdata(9)", "1F"},
      {"type Glimmora_i2c.tbI2Creg(3) \t", Verb::Type, "Glimmora_i2c.tbI2Creg(3)", "\t"},
      {"expect txtLog a\\r\\n\\\"q\\\"\\\\", Verb::Expect, "txtLog", "a\r\n\"q\"\\"},
      {"expect txtLog", Verb::Expect, "txtLog", ""},
      {"click Glimmora_interface.cbQuit", Verb::Click, "Glimmora_interface.cbQuit", ""},
      {"select ob1Den(2)", Verb::Select, "ob1Den(2)", ""},
      {"print cbCtrl(2)  ", Verb::Print, "cbCtrl(2)", ""},
      {"close Glimmora_i2c", Verb::Close, "Glimmora_i2c", ""},
  };
  for (const auto& c : cases) {
    const ParsedLine p = parseLine(c.line);
    ASSERT_EQ(p.kind, Kind::Command) << c.line << ": " << p.error;
    EXPECT_EQ(p.command.verb, c.verb) << c.line;
    EXPECT_EQ(p.command.target, c.target) << c.line;
    EXPECT_EQ(p.command.text, c.text) << c.line;
  }
}

TEST(ParseLine, AnswerTakesThePathLiterallyOrCancel) {
  ParsedLine p = parseLine("answer my settings.cfg");
  ASSERT_EQ(p.kind, Kind::Command);
  EXPECT_EQ(p.command.answer, "my settings.cfg");
  p = parseLine("answer  lead.cfg\r");
  EXPECT_EQ(p.command.answer, " lead.cfg");
  p = parseLine("answer cancel");
  ASSERT_EQ(p.kind, Kind::Command);
  EXPECT_FALSE(p.command.answer.has_value());
  EXPECT_EQ(parseLine("answer").kind, Kind::Error);
  EXPECT_EQ(parseLine("answer ").kind, Kind::Error);
}

TEST(ParseLine, BoardCommands) {
  struct Case {
    const char* line;
    BoardAction action;
    int board;
    uint32_t pipe;
    uint32_t count;
    int reg;
    uint8_t value;
  };
  const Case cases[] = {
      {"board attach", BoardAction::Attach, 0, 0, 0, 0, 0},
      {"board detach 2", BoardAction::Detach, 2, 0, 0, 0, 0},
      {"board plugged 2", BoardAction::Plugged, 0, 0, 2, 0, 0},
      {"board plugged 0", BoardAction::Plugged, 0, 0, 0, 0, 0},
      {"board fail deviceinfo", BoardAction::FailDeviceInfo, 0, 0, 0, 0, 0},
      {"board fail transfer 3", BoardAction::FailTransfer, 0, 3, 0, 0, 0},
      {"board timeout 0x82", BoardAction::Timeout, 0, 130, 0, 0, 0},
      {"board  nopipes ", BoardAction::NoPipes, 0, 0, 0, 0, 0},
      {"board short 130 1", BoardAction::Short, 0, 130, 1, 0, 0},
      {"board hang 130", BoardAction::Hang, 0, 130, 0, 0, 0},
      {"board hang 2 200", BoardAction::Hang, 0, 2, 200, 0, 0},
      {"board ok\r", BoardAction::Ok, 0, 0, 0, 0, 0},
      {"board reg 21 ff", BoardAction::Reg, 0, 0, 0, 21, 0xFF},
      {"board reg 0x0A 0x4D", BoardAction::Reg, 0, 0, 0, 10, 0x4D},
      {"board reg 3 7", BoardAction::Reg, 0, 0, 0, 3, 0x07},
  };
  for (const auto& c : cases) {
    const ParsedLine p = parseLine(c.line);
    ASSERT_EQ(p.kind, Kind::Command) << c.line << ": " << p.error;
    const BoardCommand& b = p.command.board;
    EXPECT_EQ(p.command.verb, Verb::Board);
    EXPECT_EQ(b.action, c.action) << c.line;
    EXPECT_EQ(b.board, c.board) << c.line;
    EXPECT_EQ(b.pipe, c.pipe) << c.line;
    EXPECT_EQ(b.count, c.count) << c.line;
    EXPECT_EQ(b.reg, c.reg) << c.line;
    EXPECT_EQ(b.value, c.value) << c.line;
  }
}

TEST(ParseLine, DecodeTakesARegisterInDecimalOrHexadecimal) {
  for (const auto& [line, reg] : {std::pair{"decode 0", 0}, {"decode 21", 21}, {" decode  0x0A \r", 10}}) {
    const ParsedLine p = parseLine(line);
    ASSERT_EQ(p.kind, Kind::Command) << line << ": " << p.error;
    EXPECT_EQ(p.command.verb, Verb::Decode);
    EXPECT_EQ(p.command.reg, reg) << line;
  }
}

TEST(ParseLine, MalformedLinesAreErrors) {
  for (const char* line : {
           "Set txtLog x",           // verbs are lower case
           "press cbQuit",           // no such verb
           "set",                    // no control
           "click",                  // no control
           "click cbQuit now",       // nothing may follow a click's control
           "select ob1Den(2) now",   // nor a select's
           "select",                 //
           "print txtLog x",         // nor a print's
           "activate now",           // activate takes nothing
           "close txtLog",           // only the two windows close
           "close Glimmora_i2c x",   //
           "expect txtLog C:\\dir",  // unknown escape
           "board",                  //
           "board plug",             //
           "board attach 2",         //
           "board detach",           //
           "board plugged",          //
           "board plugged -1",       //
           "board plugged 1 2",      //
           "board detach 0",         //
           "board detach -1",        //
           "board detach two",       //
           "board fail",             //
           "board fail transfer",    //
           "board fail transfer 256",
           "board timeout",        //
           "board timeout 1x",     //
           "board short 130",      //
           "board short 130 -1",   //
           "board hang",           //
           "board hang 130 1 2",   //
           "board hang 130 soon",  //
           "board reg 22 00",      // 22 registers: 0 to 21
           "board reg 3 100",      // one byte
           "board reg 3 0x",       //
           "board reg 3 zz",       //
           "board ok now",         //
           "decode",               //
           "decode 22",            // 0 to 21
           "decode 0x16",          //
           "decode 1 2",           //
           "decode Glimmora_i2c.tbI2Creg(1)",
       }) {
    const ParsedLine p = parseLine(line);
    EXPECT_EQ(p.kind, Kind::Error) << line;
    EXPECT_FALSE(p.error.empty()) << line;
  }
}

}  // namespace
}  // namespace glim::script
