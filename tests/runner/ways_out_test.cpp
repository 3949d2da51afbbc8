// Every way out of a run, through real converter processes and pipes: the
// scripted converter writes what each case needs, with pauses where a read
// must end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "channel/error.h"
#include "channel/windows_arguments.h"
#include "job/command_line.h"
#include "tests/runner/support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vorlen::test {
namespace {

const CaughtAlert kRetV{u"retV = 0", AlertStyle::Plain};
const CaughtAlert kUnknownFin{u"unknown Fin value!", AlertStyle::Critical};

class WaysOut : public ScriptedJob<AlertCatcher> {
 protected:
  std::vector<Event>& events() { return sink->events; }
};

TEST_F(WaysOut, SuccessAndFailureFinValues) {
  EXPECT_EQ(Play("o=msg|wrn|a.html:3|bad|thing\\r\\n;o=fin|success\\r\\n"), 1);
  EXPECT_EQ(events(), (std::vector<Event>{{u"wrn", u"a.html:3", u"bad|thing"}}));
  EXPECT_EQ(Play("o=fin|failure\\r\\n"), 0);
  EXPECT_TRUE(platform.alerts.empty());
}

TEST_F(WaysOut, LinesSplitAcrossReads) {
  // The worked example's three reads, then a CR and its LF in different reads.
  EXPECT_EQ(Play("o=msg|wrn|a.ht;s=60;o=ml:3|bad|thing\\r\\nfin|succ;s=60;o=ess\\r\\n"), 1);
  EXPECT_EQ(Play("o=msg|inf|x|one\\r;s=60;o=\\nmsg|inf|x|two\\r\\n;s=60;o=fin|success\\r\\n"), 1);
  // A line much longer than one read is assembled whole.
  const std::string longText(1000, 'a');
  EXPECT_EQ(Play("o=msg|inf|long|" + longText + "\\r\\nfin|success\\r\\n"), 1);
  EXPECT_EQ(events(), (std::vector<Event>{{u"wrn", u"a.html:3", u"bad|thing"},
                                          {u"inf", u"x", u"one"},
                                          {u"inf", u"x", u"two"},
                                          {u"inf", u"long", FromUtf8(longText)}}));
  EXPECT_TRUE(platform.alerts.empty());
}

TEST_F(WaysOut, EveryLineOfTheDataCountsAndLaterReadsDoNot) {
  EXPECT_EQ(Play("o=msg|inf|l|1\\r\\nfin|failure\\r\\nmsg|inf|l|2\\r\\nfin|success\\r\\n;s=100;"
                 "o=msg|inf|l|never read\\r\\n"),
            1);
  EXPECT_EQ(events(), (std::vector<Event>{{u"inf", u"l", u"1"}, {u"inf", u"l", u"2"}}));
  // An empty fin value is no fin value: the run goes on.
  EXPECT_EQ(Play("o=fin|\\r\\n;s=50;o=fin|success\\r\\n"), 1);
}

TEST_F(WaysOut, StandardErrorJoinsStandardOutputInOrder) {
  EXPECT_EQ(Play("e=msg|err|l|first\\r\\n;s=30;o=msg|inf|l|second\\r\\n;s=30;"
                 "e=msg|err|l|third\\r\\n;e=fin|success\\r\\n"),
            1);
  EXPECT_EQ(events(),
            (std::vector<Event>{
                {u"err", u"l", u"first"}, {u"inf", u"l", u"second"}, {u"err", u"l", u"third"}}));
}

TEST_F(WaysOut, SilenceNulBytesAndSplitCharacters) {
  EXPECT_EQ(Play("s=800;o=msg|inf|l|a\\0b\\r\\n;o=fin|success\\r\\n"), 1);
  // A two-byte character cut between two reads comes out as it does whole.
  EXPECT_EQ(Play("o=msg|inf|l|x\\xC3;s=60;o=\\xA9y\\r\\nfin|success\\r\\n"), 1);
  std::string whole = "x\xC3\xA9y";
  const Text expected = SystemPlatform().Decode(whole);
  ASSERT_EQ(events().size(), 2u);
  EXPECT_EQ(events()[0].text, Text(u"a\0b", 3));
  EXPECT_EQ(events()[1].text, expected);
  EXPECT_TRUE(platform.alerts.empty());
}

TEST_F(WaysOut, ConverterEndingWithoutFinLine) {
  // The last line lacks its CR LF and is dropped.
  EXPECT_EQ(Play("o=msg|inf|l|1\\r\\n;s=30;o=fin|success"), 0);
  EXPECT_EQ(Play("x=0"), 0);
  // Silent first: the end of the output ends the wait that is under way.
  EXPECT_EQ(Play("s=300;x=0"), 0);
  EXPECT_EQ(events(), (std::vector<Event>{{u"inf", u"l", u"1"}}));
  EXPECT_EQ(platform.alerts, (std::vector<CaughtAlert>{kRetV, kRetV, kRetV}));
}

TEST_F(WaysOut, UnknownFinValues) {
  EXPECT_EQ(Play("o=fin|Success\\r\\n"), 0);
  EXPECT_EQ(Play("o=fin|success \\r\\n"), 0);
  EXPECT_EQ(Play("o=fin|failure\\r\\r\\n"), 0);
  EXPECT_EQ(platform.alerts, (std::vector<CaughtAlert>{kUnknownFin, kUnknownFin, kUnknownFin}));
}

TEST_F(WaysOut, StartFailureQuotesTheCommandLineAsHanded) {
  job.settings().SetVorlenPath(u"no-such-vorlen-program");
  EXPECT_EQ(job.Convert(u"in.xml", u"out.pdf"), 0);
  // U+4E00 is missing from single-byte code pages; UTF-8 keeps it.
  EXPECT_EQ(job.Convert(u"in\u4E00.xml"), 0);
#ifdef _WIN32
  const Text handed = GetACP() == CP_UTF8 ? Text(u"in\u4E00.xml") : Text(u"in?.xml");
#else
  const Text handed = u"in\u4E00.xml";
#endif
  const Text prefix = u"Could not start the vorlen.exe program: ";
  EXPECT_EQ(
      platform.alerts,
      (std::vector<CaughtAlert>{{prefix + u"no-such-vorlen-program --server \"in.xml\" \"out.pdf\"",
                                 AlertStyle::Critical},
                                {prefix + u"no-such-vorlen-program --server \"" + handed + u"\"",
                                 AlertStyle::Critical}}));
  EXPECT_TRUE(events().empty());
}

TEST_F(WaysOut, MalformedMessageLineAlertsAndGoesOn) {
  EXPECT_EQ(Play("o=msg|abcd\\r\\nmsg|inf|l|after\\r\\nfin|success\\r\\n"), 1);
  EXPECT_EQ(
      platform.alerts,
      (std::vector<CaughtAlert>{{u"Incorrect Error Format From Vorlen", AlertStyle::Critical}}));
  EXPECT_EQ(events(), (std::vector<Event>{{u"inf", u"l", u"after"}}));
}

TEST_F(WaysOut, ShortLineRaisesErrorFive) {
  try {
    Play("o=msg|inf|l|before\\r\\nab\\r\\nmsg|inf|l|behind\\r\\n;o=fin|success\\r\\n");
    ADD_FAILURE() << "no error";
  } catch (const VorlenError& error) {
    EXPECT_EQ(error.number(), 5);
  }
  EXPECT_EQ(events(), (std::vector<Event>{{u"inf", u"l", u"before"}}));
  EXPECT_TRUE(platform.alerts.empty());
}

}  // namespace
}  // namespace vorlen::test
