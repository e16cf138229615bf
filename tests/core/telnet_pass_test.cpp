// The telnet pass over received text.

#include "net/telnet_pass.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnel::test {
namespace {

TEST(TelnetPassTest, DoubledIacAndGaAreTheOnlyPairsTouched) {
  TelnetPass pass;
  EXPECT_EQ(pass.Pass("abc\xFF\xFF"
                      "def"),
            "abc\xFF"
            "def");
  EXPECT_EQ(pass.Pass("prompt>\xFF\xF9"), "prompt>\x01\x01");
  // WILL ECHO, a subnegotiation and an IAC before a doubled one stay.
  EXPECT_EQ(pass.Pass("\xFF\xFB\x01x\xFF\xFA\x18\x01\xFF\xF0y"),
            "\xFF\xFB\x01x\xFF\xFA\x18\x01\xFF\xF0y");
  EXPECT_EQ(pass.Pass("\xFF\xFF\xFF\xF9"), "\xFF\x01\x01");
}

TEST(TelnetPassTest, APairCutByTheEndOfAReadIsStillAPair) {
  const std::string wire =
      "a\xFF\xFF"
      "b\xFF\xF9"
      "c\xFF\xFF\xFF\xF9\xFF\xFB\x01"
      "d";
  TelnetPass whole_pass;
  const std::string whole = whole_pass.Pass(wire);
  for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
    TelnetPass pass;
    std::string joined = pass.Pass(wire.substr(0, cut));
    joined += pass.Pass(wire.substr(cut));
    EXPECT_EQ(joined, whole) << "cut at " << cut;
  }
  // A lone IAC at the very end waits, and is handed over when the
  // connection ends.
  TelnetPass pass;
  EXPECT_EQ(pass.Pass("x\xFF"), "x");
  EXPECT_EQ(pass.Flush(), "\xFF");
  EXPECT_EQ(pass.Flush(), "");
}

TEST(TelnetPassTest, TheDefaultModeNotesTheServersEchoButKeepsItsBytes) {
  TelnetPass pass;
  const std::string will = "Password: \xFF\xFB\x01";
  EXPECT_EQ(pass.Pass(will), will);
  EXPECT_TRUE(pass.ServerEchoes());
  EXPECT_EQ(pass.TakeAnswers(), "");
  EXPECT_EQ(pass.Pass("\r\n\xFF\xFC\x01ok"), "\r\n\xFF\xFC\x01ok");
  EXPECT_FALSE(pass.ServerEchoes());
  // A doubled IAC is the letter "я", and "яы" followed by 0x01 is text.
  pass.Pass("\xFF\xFF\xFB\x01");
  EXPECT_FALSE(pass.ServerEchoes());
  // Cut anywhere, the announcement is still seen.
  for (std::size_t cut = 0; cut <= will.size(); ++cut) {
    TelnetPass p;
    std::string shown = p.Pass(will.substr(0, cut));
    shown += p.Pass(will.substr(cut));
    EXPECT_EQ(shown, will) << cut;
    EXPECT_TRUE(p.ServerEchoes()) << cut;
  }
  pass.Pass(will);
  pass.Reset();
  EXPECT_FALSE(pass.ServerEchoes());
}

}  // namespace
}  // namespace tarnel::test
