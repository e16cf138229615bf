// Servers in UTF-8 and KOI8-R: what they send arrives as Windows-1251 however
// the reads cut it, what the player sends leaves in their encoding, and
// without the setting nothing changes.

#include <gtest/gtest.h>

#include "net/charset.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

// "Привет, мир" in the three encodings.
const std::string kUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80";
const std::string kKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2";

TEST(Charset, DecodingDoesNotDependOnWhereReadsCut) {
  const std::string wire = kUtf8 + " \xE2\x99\xA5 \xC3\x28 end\r\n";  // a heart, then a broken pair
  const std::string want = Cp("Привет, мир ? ?( end\r\n"_cp);
  for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
    CharsetConverter c;
    ASSERT_TRUE(c.Select("UTF-8"));
    std::string got = c.Decode(std::string_view(wire).substr(0, cut));
    got += c.Decode(std::string_view(wire).substr(cut));
    EXPECT_EQ(got, want) << "cut at " << cut;
  }
  // Byte by byte as well.
  CharsetConverter c;
  c.Select("utf-8");
  std::string got;
  for (char b : wire) got += c.Decode(std::string_view(&b, 1));
  EXPECT_EQ(got, want);
}

TEST(Charset, BrokenInputNeverStallsTheStream) {
  CharsetConverter c;
  c.Select("utf-8");
  // A lead byte with no continuation, stray continuation bytes, a lone
  // lead at the very end that the next read completes.
  EXPECT_EQ(c.Decode("a\xD0z\x80\x80y\xD0"), "a?z??y");
  EXPECT_EQ(c.Decode("\x9F!"), Cp("П!"_cp));
  // A long run of continuation bytes held back is never kept forever.
  EXPECT_EQ(c.Decode("\xF0\x9F\x98"), "");
  EXPECT_EQ(c.Decode("\x80\x80\x80\x80\x80 ok"), "????? ok");
  // A new connection forgets a cut sequence.
  EXPECT_EQ(c.Decode("\xD0"), "");
  c.Reset();
  EXPECT_EQ(c.Decode("ok"), "ok");
}

TEST(Charset, KoiAndTheWayBack) {
  CharsetConverter koi;
  ASSERT_TRUE(koi.Select("koi8-r"));
  EXPECT_EQ(koi.Decode(kKoi8), Cp("Привет, мир"_cp));
  EXPECT_EQ(koi.Encode("Привет, мир"_cp), kKoi8);
  CharsetConverter utf;
  utf.Select("utf-8");
  EXPECT_EQ(utf.Encode("Привет, мир"_cp), kUtf8);
  // Unknown names and the client's own encoding convert nothing.
  CharsetConverter none;
  EXPECT_FALSE(none.Select("ebcdic"));
  EXPECT_FALSE(none.Active());
  EXPECT_TRUE(none.Select("cp1251"));
  EXPECT_FALSE(none.Active());
  EXPECT_EQ(none.Decode(kUtf8), kUtf8);
}

TEST(Charset, AUtf8ServerPlaysInCyrillic) {
  TestHost host;
  Client c{host};
  c.DefaultProfile();
  c.store.Variables().SetValue("global._logfile", "");
  c.store.Variables().SetValue("global._charset", "utf-8");
  c.store.Triggers().Add(Cp("default.%1 говорит: %2=/set said={%2}"_cp));
  c.RefreshPanels();
  c.connection.OnConnected();
  // "Вася говорит: привет" cut in the middle of a letter.
  const std::string line =
      "\xD0\x92\xD0\xB0\xD1\x81\xD1\x8F \xD0\xB3\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x80\xD0\xB8\xD1\x82: " + kUtf8 + "\r\n";
  c.connection.OnRead(std::string_view(line).substr(0, 5));
  c.connection.OnRead(std::string_view(line).substr(5));
  EXPECT_EQ(c.store.Var("default.said"), Cp("Привет, мир"_cp)) << Render(host.main);
  host.sent.clear();
  c.ExecuteCommand("Привет, мир"_cp, false);
  ASSERT_EQ(host.sent.size(), 1u);
  EXPECT_EQ(host.sent[0], kUtf8 + "\r");
  // Without the setting the bytes go as they are.
  c.store.Variables().SetValue("global._charset", "");
  host.sent.clear();
  c.ExecuteCommand("Привет"_cp, false);
  EXPECT_EQ(host.sent[0], Cp("Привет\r"_cp));
}

}  // namespace
}  // namespace tarnel::test
