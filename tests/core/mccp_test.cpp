// The compression filter on its own, with real zlib streams.

#include "net/mccp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/zlib_stream.h"

namespace tarnel::test {
namespace {

struct Filtered {
  std::string text;
  std::vector<std::string> answers;
};

// Runs the chunks through one state, collecting the text and every answer
// owed after each chunk.
Filtered FilterAll(MccpState& st, const std::vector<std::string>& chunks) {
  Filtered f;
  for (const auto& chunk : chunks) {
    f.text += MccpFilter(st, chunk);
    for (std::string a = MccpAnswer(st); !a.empty(); a = MccpAnswer(st)) f.answers.push_back(a);
  }
  return f;
}

std::string S(std::string_view a) { return std::string(a); }

TEST(MccpTest, OffersAreTakenOutAndAnsweredInPriorityOrder) {
  MccpState st;
  EXPECT_EQ(MccpFilter(st, S("Welcome") + S(kOfferV2)), "Welcome");
  EXPECT_EQ(MccpAnswer(st), kDoV2);
  EXPECT_EQ(MccpAnswer(st), "");

  // Version 2 first, then version 1: version 1 is refused, version 2 taken.
  MccpState both;
  MccpFilter(both, S(kOfferV2) + "x" + S(kOfferV1));
  EXPECT_EQ(MccpAnswer(both), kDontV1);
  EXPECT_EQ(MccpAnswer(both), kDoV2);
  // Version 1 first: both are accepted, version 1 first.
  MccpState v1_first;
  EXPECT_EQ(MccpFilter(v1_first, S(kOfferV1) + S(kOfferV2) + "y"), "y");
  EXPECT_EQ(MccpAnswer(v1_first), kDoV1);
  EXPECT_EQ(MccpAnswer(v1_first), kDoV2);
  EXPECT_EQ(MccpAnswer(v1_first), "");
}

TEST(MccpTest, OtherTelnetCommandsAndEscapedBytesStay) {
  MccpState st;
  // WILL ECHO stays; an escaped 0xFF followed by FB 56 is data, not an offer.
  const std::string text =
      "a\xFF\xFB\x01"
      "b\xFF\xFF\xFB\x56"
      "c";
  EXPECT_EQ(MccpFilter(st, text), text);
  EXPECT_EQ(MccpAnswer(st), "");
  EXPECT_EQ(st.mode, 0);
}

// A negotiation's option byte may be 0xFF: it is not the first half of an
// escaped 0xFF, so an offer right after it is an offer, read whole or byte
// by byte, as the telnet pass after the filter reads it.
TEST(MccpTest, ANegotiationOfOption255IsOneCommandWhereverTheReadsFall) {
  const std::string wire = "\xFF\xFB\xFF" + S(kOfferV1) + "a\xFF\xFD\xFF\xFF\xFF" + S(kOfferV2) + "b";
  MccpState whole_state;
  const Filtered whole = FilterAll(whole_state, {wire});
  EXPECT_EQ(whole.text, "\xFF\xFB\xFF" "a\xFF\xFD\xFF\xFF\xFF" "b");
  EXPECT_EQ(whole.answers, (std::vector<std::string>{S(kDoV1), S(kDoV2)}));
  std::vector<std::string> bytes;
  for (char c : wire) bytes.emplace_back(1, c);
  MccpState st;
  const Filtered pieces = FilterAll(st, bytes);
  EXPECT_EQ(pieces.text, whole.text);
  EXPECT_EQ(pieces.answers, whole.answers);
}

TEST(MccpTest, TextBeforeTheStartIsPlainAndTheRestIsInflated) {
  Deflater server;
  MccpState st;
  EXPECT_EQ(MccpFilter(st, "abc" + S(kStartV2) + server.Write("Hello\r\n")), "abcHello\r\n");
  EXPECT_EQ(st.mode, 2);
  EXPECT_EQ(st.starts, 1);
  ASSERT_EQ(st.marks.size(), 1u);
  EXPECT_EQ(st.marks[0].at, 3u);
  EXPECT_FALSE(st.marks[0].error);
  EXPECT_EQ(MccpFilter(st, server.Write("more")), "more");
  EXPECT_TRUE(st.marks.empty());
}

TEST(MccpTest, AStreamThatEndsHandsOverToPlainTextWhichMayStartAgain) {
  Deflater first, second;
  MccpState st;
  // One piece after the other: the operands of + are not evaluated in order.
  std::string wire = S(kStartV2);
  wire += first.Write("one ");
  wire += first.End();
  wire += "plain " + S(kOfferV2) + S(kStartV2);
  wire += second.Write("two");
  wire += second.End();
  wire += " after";
  EXPECT_EQ(MccpFilter(st, wire), "one plain two after");
  EXPECT_EQ(st.mode, 0);
  EXPECT_EQ(st.starts, 2);
  EXPECT_EQ(MccpAnswer(st), kDoV2);
  // Version 1 works the same way.
  Deflater v1;
  std::string old_style = S(kStartV1);
  old_style += v1.Write("old style");
  old_style += v1.End();
  EXPECT_EQ(MccpFilter(st, old_style), "old style");
  EXPECT_EQ(st.starts, 3);
}

TEST(MccpTest, WhereReadsCutTheStreamChangesNothing) {
  Deflater a, b;
  std::string wire = "intro" + S(kOfferV1) + S(kOfferV2) + "x\xFF\xFFy" + S(kStartV2);
  wire += a.Write("first \xFF\xFF stream\r\n");
  wire += a.End();
  wire += "between" + S(kStartV1);
  wire += b.Write("second stream");
  wire += b.End();
  wire += "tail\xFF\xFB\x01";
  MccpState whole_state;
  const Filtered whole = FilterAll(whole_state, {wire});
  EXPECT_EQ(whole.text,
            "introx\xFF\xFFyfirst \xFF\xFF stream\r\nbetweensecond streamtail\xFF\xFB\x01");
  for (std::size_t cut = 1; cut < wire.size(); ++cut) {
    MccpState st;
    const Filtered two = FilterAll(st, {wire.substr(0, cut), wire.substr(cut)});
    EXPECT_EQ(two.text, whole.text) << "cut at " << cut;
    EXPECT_EQ(two.answers, whole.answers) << "cut at " << cut;
    EXPECT_EQ(st.starts, 2);
  }
  std::vector<std::string> bytes;
  for (char c : wire) bytes.emplace_back(1, c);
  MccpState st;
  EXPECT_EQ(FilterAll(st, bytes).text, whole.text);
}

TEST(MccpTest, AChunkInflatesInFullWhateverItsSize) {
  std::string big;
  for (int k = 0; big.size() < 300000; ++k)
    big += "Line " + std::to_string(k) + " of a long listing\r\n";
  Deflater server;
  MccpState st;
  EXPECT_EQ(MccpFilter(st, S(kStartV2) + server.Write(big)), big);
  EXPECT_FALSE(st.error);
}

TEST(MccpTest, ACorruptStreamIsReportedAndShownUntilReset) {
  Deflater server;
  MccpState st;
  const std::string garbage = "\xFF\x13\x37garbage";
  const std::string out = MccpFilter(st, "abc" + S(kStartV2) + server.Write("good ") + garbage);
  EXPECT_TRUE(st.error);
  // The text inflated before the damage, then the bytes as they came.
  EXPECT_EQ(out.substr(0, 8), "abcgood ");
  EXPECT_EQ(out.substr(out.size() - garbage.size()), garbage);
  ASSERT_EQ(st.marks.size(), 2u);
  EXPECT_TRUE(st.marks[1].error);
  EXPECT_EQ(st.marks[1].at, 8u);
  // The broken stream stays broken: every later chunk is reported and shown.
  st.error = false;
  const std::string later = server.Write("lost");
  EXPECT_EQ(MccpFilter(st, later), later);
  EXPECT_TRUE(st.error);
  MccpReset(st);
  EXPECT_EQ(st.mode, 0);
  EXPECT_EQ(MccpFilter(st, "plain" + S(kOfferV2)), "plain");
  EXPECT_EQ(MccpAnswer(st), kDoV2);
}

TEST(MccpTest, ABombStopsAtTheBoundAndBreaksTheStream) {
  Deflater server;
  const std::string bomb = server.Write(std::string(kMccpMaxInflated * 2, 'A'));
  ASSERT_LT(bomb.size(), 100000u);
  MccpState st;
  const std::string out = MccpFilter(st, S(kStartV2) + bomb);
  EXPECT_TRUE(st.error);
  EXPECT_TRUE(st.broken);
  EXPECT_GE(out.size(), kMccpMaxInflated);
  EXPECT_LE(out.size(), kMccpMaxInflated + 0xFFFF);
  EXPECT_EQ(out.find_first_not_of('A'), std::string::npos);
  st.error = false;
  EXPECT_EQ(MccpFilter(st, "next"), "next");
  EXPECT_TRUE(st.error);
}

}  // namespace
}  // namespace tarnel::test
