// What a run holds and gives back: every handle it creates is closed on every
// way out, in the order that keeps the converter's view of its pipes right;
// pipe and read failures that real systems rarely show come from a platform
// that fails on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "channel/error.h"
#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

class Handles : public ScriptedJob<CountingPlatform> {
 protected:
  void ExpectAllClosed() {
    EXPECT_TRUE(platform.open.empty());
    EXPECT_EQ(platform.released, platform.started);
  }
  // Every handle created was closed, in whatever order.
  void ExpectClosedAsCreated() {
    std::vector<RawHandle> closed = platform.closed, created = platform.created;
    std::sort(closed.begin(), closed.end());
    std::sort(created.begin(), created.end());
    EXPECT_EQ(closed, created);
  }
};

TEST_F(Handles, OutputPipeCannotBeCreated) {
  platform.failPipeNumber = 1;
  EXPECT_EQ(Play("o=fin|success\\r\\n"), 0);
  EXPECT_EQ(platform.alerts,
            (std::vector<CaughtAlert>{{u"Could not create pipe!", AlertStyle::Critical}}));
  EXPECT_EQ(platform.started, 0);
  ExpectAllClosed();
}

TEST_F(Handles, InputPipeCannotBeCreated) {
  platform.failPipeNumber = 2;
  EXPECT_EQ(Play("o=fin|success\\r\\n"), 0);
  EXPECT_EQ(
      platform.alerts,
      (std::vector<CaughtAlert>{{u"Could not create pipe for vorlen!", AlertStyle::Critical}}));
  ExpectClosedAsCreated();
  EXPECT_EQ(platform.started, 0);
  ExpectAllClosed();
}

// A converter that writes many lines without their bar holds the caller in
// only a few boxes; the rest of the alerts go where alerts leave as data, up
// to a limit per run and a line that says so.
TEST_F(Handles, AFewBoxesARunAndTheRestLogged) {
  EXPECT_EQ(Play("n=10*msg|inf:no bar\\r\\n;o=fin|success\\r\\n"), 1);
  EXPECT_EQ(platform.alerts, std::vector<CaughtAlert>(
                                 3, {u"Incorrect Error Format From Vorlen", AlertStyle::Critical}));
  EXPECT_EQ(platform.logged, std::vector<Text>(10, u"Incorrect Error Format From Vorlen"));
  platform.alerts.clear();
  platform.logged.clear();
  EXPECT_EQ(Play("n=500*msg|inf:no bar\\r\\n;o=fin|success\\r\\n"), 1);
  std::vector<Text> expected(103, u"Incorrect Error Format From Vorlen");
  expected.push_back(u"(further alerts of this conversion are not logged)");
  EXPECT_EQ(platform.logged, expected);
  EXPECT_EQ(Play("o=msg|inf:no bar\\r\\nfin|success\\r\\n"), 1);
  EXPECT_EQ(platform.alerts.size(), 4u) << "each run has its own few";
  EXPECT_EQ(platform.logged.size(), 105u);
}

TEST_F(Handles, StartFailureClosesAllFourEnds) {
  job.settings().SetVorlenPath(u"no-such-vorlen-program");
  EXPECT_EQ(job.Convert(u"in.xml"), 0);
  ASSERT_EQ(platform.alerts.size(), 1u);
  ExpectClosedAsCreated();
  EXPECT_EQ(platform.created.size(), 4u);
  ExpectAllClosed();
}

TEST_F(Handles, SuccessfulStartKeepsOnlyTheOutputReadEnd) {
  EXPECT_EQ(Play("o=fin|success\\r\\n"), 1);
  ASSERT_EQ(platform.created.size(), 4u);
  const auto& c = platform.created;  // output read, output write, input read, input write
  // The child's ends as the start ends, the output read end as the run ends.
  EXPECT_EQ(platform.closed, (std::vector<RawHandle>{c[3], c[2], c[1], c[0]}));
  EXPECT_EQ(platform.started, 1);
  ExpectAllClosed();
}

TEST_F(Handles, EveryOtherWayOutClosesToo) {
  platform.failRead = true;  // silent: no alert, no result
  EXPECT_EQ(Play("o=fin|success\\r\\n"), 0);
  EXPECT_TRUE(platform.alerts.empty());
  ExpectAllClosed();
  platform.failRead = false;

  EXPECT_EQ(Play("o=fin|Success\\r\\n"), 0);
  EXPECT_EQ(Play("x=0"), 0);
  EXPECT_EQ(platform.alerts,
            (std::vector<CaughtAlert>{{u"unknown Fin value!", AlertStyle::Critical},
                                      {u"retV = 0", AlertStyle::Plain}}));
  ExpectAllClosed();

  EXPECT_THROW(Play("o=\\r\\n"), VorlenError);
  ExpectAllClosed();
  EXPECT_EQ(platform.started, 4);
}

TEST(Decode, CarriesAnIncompleteCharacter) {
  Platform& platform = SystemPlatform();
  std::string whole =
      "a\xE2\x82\xAC"
      "b";
  const Text expected = platform.Decode(whole);
  EXPECT_TRUE(whole.empty());
  // Cut at every place: the pieces decode to the whole.
  for (std::size_t cut = 0; cut <= 5; ++cut) {
    std::string bytes = std::string(
                            "a\xE2\x82\xAC"
                            "b")
                            .substr(0, cut);
    Text text = platform.Decode(bytes);
    bytes += std::string(
                 "a\xE2\x82\xAC"
                 "b")
                 .substr(cut);
    text += platform.Decode(bytes);
    EXPECT_EQ(text, expected) << "cut at " << cut;
    EXPECT_TRUE(bytes.empty());
  }
  std::string zeros("\0\0", 2);
  EXPECT_EQ(platform.Decode(zeros), Text(u"\0\0", 2));
}

TEST(Decode, IncompleteUtf8Tail) {
  EXPECT_EQ(IncompleteUtf8Tail(""), 0u);
  EXPECT_EQ(IncompleteUtf8Tail("ab"), 0u);
  EXPECT_EQ(IncompleteUtf8Tail("a\xC3"), 1u);
  EXPECT_EQ(IncompleteUtf8Tail("a\xC3\xA9"), 0u);
  EXPECT_EQ(IncompleteUtf8Tail("a\xE2\x82"), 2u);
  EXPECT_EQ(IncompleteUtf8Tail("\xF0\x9F\x98"), 3u);
  EXPECT_EQ(IncompleteUtf8Tail("\xF0\x9F\x98\x80"), 0u);
  EXPECT_EQ(IncompleteUtf8Tail("\x80\x80\x80\x80"), 0u);  // stray continuation bytes
}

}  // namespace
}  // namespace vorlen::test
