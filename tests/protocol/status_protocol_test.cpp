// What the converter's output means: lines, events, alerts, the fin value and
// error 5, fed the way the runner feeds it (one decoded read at a time).
#include "channel/status_protocol.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "channel/error.h"
#include "tests/protocol/recording_events.h"

namespace vorlen {
namespace {

using testing::AlertEvent;
using testing::MessageEvent;
using testing::Recorded;
using testing::RecordingEvents;
using namespace std::literals;

class StatusStreamTest : public ::testing::Test {
 protected:
  // Feeds each read in turn, as the runner does.
  void Feed(std::initializer_list<TextView> reads) {
    for (const TextView read : reads) stream.Feed(read);
  }
  // The error number that the read raised, or 0.
  int FeedError(TextView read) {
    try {
      stream.Feed(read);
    } catch (const VorlenError& error) {
      return error.number();
    }
    return 0;
  }

  RecordingEvents events;
  StatusStream stream{events};
};

const Recorded kBadFormat = AlertEvent(kIncorrectErrorFormat, AlertStyle::Critical);

TEST_F(StatusStreamTest, WorkedExampleInThreeReads) {
  stream.Feed(u"msg|wrn|a.ht");
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(stream.partialLine(), u"msg|wrn|a.ht");
  EXPECT_EQ(stream.finValue(), u"");

  stream.Feed(u"ml:3|bad|thing\r\nfin|succ");
  EXPECT_EQ(events.log, std::vector{MessageEvent(u"wrn", u"a.html:3", u"bad|thing")});
  EXPECT_EQ(stream.partialLine(), u"fin|succ");
  EXPECT_EQ(stream.finValue(), u"");

  stream.Feed(u"ess\r\n");
  EXPECT_EQ(events.log.size(), 1u);
  EXPECT_EQ(stream.partialLine(), u"");
  EXPECT_EQ(stream.finValue(), u"success");
}

TEST_F(StatusStreamTest, LineEndsOnlyAtCrLfEvenWhenSplitBetweenReads) {
  stream.Feed(u"msg|wrn|l|t\r");
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(stream.partialLine(), u"msg|wrn|l|t\r");
  stream.Feed(u"\nfin|");
  EXPECT_EQ(events.log, std::vector{MessageEvent(u"wrn", u"l", u"t")});
  EXPECT_EQ(stream.partialLine(), u"fin|");

  // A CR, then a read of one LF alone.
  stream.Feed(u"success\r");
  stream.Feed(u"\n");
  EXPECT_EQ(stream.finValue(), u"success");
  EXPECT_EQ(stream.partialLine(), u"");
}

TEST_F(StatusStreamTest, LoneCrAndLoneLfAreOrdinaryCharacters) {
  // Lines ended by LF alone form no line until a CR LF arrives; everything
  // before that CR LF is one single line.
  Feed({u"msg|wrn|a\nb\rc|d\n", u"x\n\r", u"y\r\n"});
  EXPECT_EQ(events.log, std::vector{MessageEvent(u"wrn", u"a\nb\rc", u"d\nx\n\ry")});

  // LF CR is no line end, but its CR may begin one with the next LF.
  Feed({u"fin|x\n\r", u"\n"});
  EXPECT_EQ(stream.finValue(), u"x\n");
  EXPECT_EQ(stream.partialLine(), u"");
}

TEST_F(StatusStreamTest, SeveralLinesInOneReadAreHandledInOrder) {
  Feed({u"msg|inf|1|one\r\nmsg|wrn|2|two\r\nmsg|err|3|three\r\nrest"});
  EXPECT_EQ(events.log,
            (std::vector{MessageEvent(u"inf", u"1", u"one"), MessageEvent(u"wrn", u"2", u"two"),
                         MessageEvent(u"err", u"3", u"three")}));
  EXPECT_EQ(stream.partialLine(), u"rest");
}

TEST_F(StatusStreamTest, FinValueIsThePayloadOfTheLastFinLineAsReceived) {
  stream.Feed(u"fin|success\r\r\n");
  EXPECT_EQ(stream.finValue(), u"success\r");

  stream.Feed(u"fin|failure\r\nfin|success\r\n");
  EXPECT_EQ(stream.finValue(), u"success");

  // An empty fin line replaces an earlier value, so the runner reads on.
  stream.Feed(u"fin|success\r\nfin|\r\n");
  EXPECT_EQ(stream.finValue(), u"");

  stream.Feed(u"fin| failure \r\n");
  EXPECT_EQ(stream.finValue(), u" failure ");
}

TEST_F(StatusStreamTest, LinesAfterTheFinLineAreStillHandled) {
  stream.Feed(u"fin|success\r\nmsg|err|x|after\r\nmsg|abcd\r\nfin|failure\r\ntail");
  EXPECT_EQ(events.log, (std::vector{MessageEvent(u"err", u"x", u"after"), kBadFormat}));
  EXPECT_EQ(stream.finValue(), u"failure");
  EXPECT_EQ(stream.partialLine(), u"tail");
}

TEST_F(StatusStreamTest, OtherPrefixesAreIgnoredSilently) {
  stream.Feed(
      u"MSG|wrn|a|b\r\nMsg|wrn|a|b\r\nFin|success\r\nFIN|success\r\nmsg:wrn|a|b\r\n"
      u"xyz|\r\n\0\0\0\0\r\n"sv);
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(stream.finValue(), u"");
}

TEST_F(StatusStreamTest, MessageBodiesAreCutIntoTypeLocationAndText) {
  stream.Feed(
      u"msg|abc||\r\nmsg|abc||x\r\nmsg|abc|loc|a|b\r\nmsg|wrnXloc|text\r\n"
      u"msg|a|c|||\r\n");
  EXPECT_EQ(events.log, (std::vector{
                            MessageEvent(u"abc", u"", u""),
                            MessageEvent(u"abc", u"", u"x"),
                            MessageEvent(u"abc", u"loc", u"a|b"),
                            MessageEvent(u"wrn", u"loc", u"text"),
                            // the type is any three characters, bars included
                            MessageEvent(u"a|c", u"", u"|"),
                        }));
}

TEST_F(StatusStreamTest, BodyWithoutLocationBarGivesAlertAndProcessingGoesOn) {
  // The bar at the fourth position is the separator, not the location's end.
  stream.Feed(u"msg|abcd\r\nmsg|wrn|nobar\r\nmsg|ok |l|t\r\n");
  EXPECT_EQ(events.log, (std::vector{kBadFormat, kBadFormat, MessageEvent(u"ok ", u"l", u"t")}));
  EXPECT_EQ(events.log[0].style, AlertStyle::Critical);
  EXPECT_EQ(events.log[0].a, u"Incorrect Error Format From Vorlen");
}

TEST_F(StatusStreamTest, LinesUnderSixCharactersRaiseError5WhateverTheirPrefix) {
  for (const TextView line : {u"\r\n", u"m\r\n", u"ms\r\n", u"msg\r\n", u"fin\r\n"}) {
    RecordingEvents fresh;
    StatusStream own(fresh);
    try {
      own.Feed(line);
      ADD_FAILURE() << "no error for " << testing::Show(line);
    } catch (const VorlenError& error) {
      EXPECT_EQ(error.number(), kInvalidArgumentError);
    }
  }
  // Six characters are enough for a line of another kind, or a fin line.
  stream.Feed(u"abcd\r\nfin|\r\n");
  EXPECT_TRUE(events.log.empty());
}

TEST_F(StatusStreamTest, MessageBodiesUnderFourCharactersRaiseError5) {
  EXPECT_EQ(FeedError(u"msg|abc\r\n"), kInvalidArgumentError);
  RecordingEvents fresh;
  StatusStream empty(fresh);
  EXPECT_THROW(empty.Feed(u"msg|\r\n"), VorlenError);

  // Four characters: no error, but no bar either.
  RecordingEvents more;
  StatusStream four(more);
  four.Feed(u"msg|abcd\r\n");
  EXPECT_EQ(more.log, std::vector{kBadFormat});
}

TEST_F(StatusStreamTest, ErrorComesAtTheBadLineAfterTheEventsBeforeIt) {
  EXPECT_EQ(FeedError(u"msg|wrn|a|b\r\nfin|success\r\nab\r\nmsg|wrn|c|d\r\n"),
            kInvalidArgumentError);
  EXPECT_EQ(events.log, std::vector{MessageEvent(u"wrn", u"a", u"b")});
  EXPECT_EQ(stream.finValue(), u"success");
}

TEST_F(StatusStreamTest, ShortLineAssembledAcrossReadsRaisesWhenItsCrLfArrives) {
  stream.Feed(u"abc");
  stream.Feed(u"\r");
  EXPECT_EQ(FeedError(u"\n"), kInvalidArgumentError);
}

TEST_F(StatusStreamTest, NulCharactersAreKept) {
  stream.Feed(u"msg|w\0n|a\0b|c\0d\r\nfin|\0"sv);
  EXPECT_EQ(events.log,
            std::vector{MessageEvent(Text(u"w\0n"sv), Text(u"a\0b"sv), Text(u"c\0d"sv))});
  EXPECT_EQ(stream.partialLine(), u"fin|\0"sv);
  stream.Feed(u"\0\r\n\0"sv);
  EXPECT_EQ(stream.finValue(), u"\0\0"sv);
  EXPECT_EQ(stream.partialLine(), u"\0"sv);
}

TEST_F(StatusStreamTest, LongLinesAndLongRunsKeepTheirText) {
  // One line much longer than a read, then many lines whose handled part is
  // dropped from the buffer while a partial line remains.
  const Text location(100000, u'L');
  stream.Feed(u"msg|wrn|");
  for (std::size_t at = 0; at < location.size(); at += 256) {
    stream.Feed(TextView(location).substr(at, 256));
  }
  stream.Feed(u"|long\r\n");
  ASSERT_EQ(events.log.size(), 1u);
  EXPECT_EQ(events.log[0], MessageEvent(u"wrn", location, u"long"));

  Text many;
  for (int i = 0; i < 2000; ++i) many += u"msg|inf|" + Text(i % 50, u'a') + u"|n\r\n";
  many += u"fin|succ";
  for (std::size_t at = 0; at < many.size(); at += 253) {
    stream.Feed(TextView(many).substr(at, 253));
  }
  EXPECT_EQ(events.log.size(), 2001u);
  EXPECT_EQ(events.log.back(), MessageEvent(u"inf", Text(1999 % 50, u'a'), u"n"));
  EXPECT_EQ(stream.partialLine(), u"fin|succ");
  stream.Feed(u"ess\r\n");
  EXPECT_EQ(stream.finValue(), u"success");
}

TEST_F(StatusStreamTest, ChunkTakenFromTheStreamItselfIsSafe) {
  stream.Feed(u"fin|ab");
  for (int i = 0; i < 10; ++i) stream.Feed(stream.partialLine());  // grows past its capacity
  EXPECT_EQ(stream.partialLine().size(), 6u << 10);
  EXPECT_EQ(stream.partialLine().substr(0, 12), u"fin|abfin|ab");
}

TEST_F(StatusStreamTest, EventHandlerErrorsPropagateAndStopTheRead) {
  struct Throwing : RecordingEvents {
    void Message(TextView t, TextView l, TextView m) override {
      RecordingEvents::Message(t, l, m);
      throw std::runtime_error("sink failed");
    }
  } throwing;
  StatusStream own(throwing);
  EXPECT_THROW(own.Feed(u"msg|wrn|a|b\r\nmsg|wrn|c|d\r\n"), std::runtime_error);
  EXPECT_EQ(throwing.log.size(), 1u);
}

TEST_F(StatusStreamTest, FeedingTheSameStreamFromItsOwnEventIsRefused) {
  struct Reentrant : RecordingEvents {
    StatusStream* stream = nullptr;
    void Message(TextView t, TextView l, TextView m) override {
      RecordingEvents::Message(t, l, m);
      stream->Feed(u"msg|wrn|again|x\r\n");
    }
  } reentrant;
  StatusStream own(reentrant);
  reentrant.stream = &own;
  EXPECT_THROW(own.Feed(u"msg|wrn|a|b\r\n"), std::logic_error);
  EXPECT_EQ(reentrant.log.size(), 1u);
}

}  // namespace
}  // namespace vorlen
