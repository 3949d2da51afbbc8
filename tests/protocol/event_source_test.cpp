// Raising Message through an object's event source: copies, order, and sinks
// that change the connections while they are being called.
#include "job/event_source.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlen {
namespace {

// A sink that records its calls in a shared journal and then runs a hook.
class Sink : public MessageSink {
 public:
  Sink(std::string name, std::vector<std::string>& journal, bool* destroyed = nullptr)
      : name_(std::move(name)), journal_(journal), destroyed_(destroyed) {}
  ~Sink() override {
    if (destroyed_) *destroyed_ = true;
  }
  // The hook gets copies of its own, as a sink that keeps the texts makes.
  void Receive(TextView msgType, TextView msgLocation, TextView msg) override {
    Text type(msgType), location(msgLocation), text(msg);
    journal_.push_back(name_ + ":" + ToUtf8(type) + "," + ToUtf8(location) + "," + ToUtf8(text));
    if (hook) hook(type, location, text);
  }

  std::function<void(Text&, Text&, Text&)> hook;

 private:
  std::string name_;
  std::vector<std::string>& journal_;
  bool* destroyed_;
};

class EventSourceTest : public ::testing::Test {
 protected:
  std::shared_ptr<Sink> Make(const std::string& name, bool* destroyed = nullptr) {
    return std::make_shared<Sink>(name, journal, destroyed);
  }
  void Raise() { source.RaiseMessage(u"wrn", u"loc", u"text"); }

  EventSource source;
  std::vector<std::string> journal;
};

using Journal = std::vector<std::string>;

TEST_F(EventSourceTest, ConnectionsAreCountedAndDisconnectedByCookie) {
  Raise();  // no sink: nothing happens
  EXPECT_TRUE(journal.empty());

  const auto a = source.Connect(Make("a"));
  const auto b = source.Connect(Make("b"));
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(source.Connect(nullptr), 0u);
  ASSERT_EQ(source.Connections().size(), 2u);
  EXPECT_EQ(source.Connections()[0].first, a);

  Raise();
  EXPECT_EQ(journal, (Journal{"a:wrn,loc,text", "b:wrn,loc,text"}));

  EXPECT_TRUE(source.Disconnect(a));
  EXPECT_FALSE(source.Disconnect(a));
  EXPECT_FALSE(source.Disconnect(0));
  // A cookie is never handed out again, so a stale one names nothing.
  const auto c = source.Connect(Make("c"));
  EXPECT_NE(c, a);
  EXPECT_FALSE(source.Disconnect(a));
  journal.clear();
  Raise();
  EXPECT_EQ(journal, (Journal{"b:wrn,loc,text", "c:wrn,loc,text"}));
}

TEST_F(EventSourceTest, EachSinkGetsFreshCopiesAndItsWritesAreDropped) {
  auto writer = Make("writer");
  writer->hook = [](Text& type, Text& location, Text& msg) {
    type = u"XXX";
    location.clear();
    msg += u" changed";
  };
  source.Connect(writer);
  source.Connect(Make("reader"));
  const Text type = u"err", location = u"a.xml:1", msg = u"bad";
  source.RaiseMessage(type, location, msg);
  EXPECT_EQ(journal, (Journal{"writer:err,a.xml:1,bad", "reader:err,a.xml:1,bad"}));
  EXPECT_EQ(type, u"err");
  EXPECT_EQ(location, u"a.xml:1");
  EXPECT_EQ(msg, u"bad");
}

TEST_F(EventSourceTest, SinkThatDisconnectsItselfFinishesAndTheOthersStillRun) {
  bool destroyed = false;
  auto self = Make("self", &destroyed);
  const auto cookie = source.Connect(self);
  source.Connect(Make("next"));
  self->hook = [&, cookie](Text&, Text&, Text&) {
    EXPECT_TRUE(source.Disconnect(cookie));
    // The source held the last reference; the raise keeps the sink alive
    // until its call has returned.
    EXPECT_FALSE(destroyed);
  };
  self.reset();
  Raise();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(journal, (Journal{"self:wrn,loc,text", "next:wrn,loc,text"}));
  journal.clear();
  Raise();
  EXPECT_EQ(journal, (Journal{"next:wrn,loc,text"}));
}

TEST_F(EventSourceTest, SinkThatDisconnectsOthersOnlyLosesThoseOnes) {
  auto first = Make("first");
  source.Connect(first);
  const auto second = source.Connect(Make("second"));
  source.Connect(Make("third"));
  const auto fourth = source.Connect(Make("fourth"));
  first->hook = [&](Text&, Text&, Text&) {
    source.Disconnect(second);
    source.Disconnect(fourth);
  };
  Raise();
  EXPECT_EQ(journal, (Journal{"first:wrn,loc,text", "third:wrn,loc,text"}));
}

TEST_F(EventSourceTest, DisconnectingAnAlreadyCalledSinkChangesNothingForTheRest) {
  const auto first = source.Connect(Make("first"));
  auto second = Make("second");
  source.Connect(second);
  source.Connect(Make("third"));
  second->hook = [&](Text&, Text&, Text&) { source.Disconnect(first); };
  Raise();
  EXPECT_EQ(journal, (Journal{"first:wrn,loc,text", "second:wrn,loc,text", "third:wrn,loc,text"}));
}

TEST_F(EventSourceTest, SinkConnectedDuringARaiseGetsOnlyLaterRaises) {
  auto connector = Make("connector");
  source.Connect(connector);
  source.Connect(Make("other"));
  connector->hook = [&](Text&, Text&, Text&) {
    source.Connect(Make("late"));
    connector->hook = nullptr;
  };
  Raise();
  EXPECT_EQ(journal, (Journal{"connector:wrn,loc,text", "other:wrn,loc,text"}));
  journal.clear();
  Raise();
  EXPECT_EQ(journal,
            (Journal{"connector:wrn,loc,text", "other:wrn,loc,text", "late:wrn,loc,text"}));
}

TEST_F(EventSourceTest, NestedRaiseFromASinkIsARaiseOfItsOwn) {
  auto outer = Make("outer");
  source.Connect(outer);
  source.Connect(Make("other"));
  outer->hook = [&](Text&, Text&, Text&) {
    outer->hook = nullptr;
    source.RaiseMessage(u"inf", u"", u"nested");
  };
  Raise();
  EXPECT_EQ(journal, (Journal{"outer:wrn,loc,text", "outer:inf,,nested", "other:inf,,nested",
                              "other:wrn,loc,text"}));
}

TEST_F(EventSourceTest, SinkThatThrowsEndsTheRaise) {
  auto thrower = Make("thrower");
  thrower->hook = [](Text&, Text&, Text&) { throw std::runtime_error("client failure"); };
  source.Connect(thrower);
  source.Connect(Make("after"));
  EXPECT_THROW(Raise(), std::runtime_error);
  EXPECT_EQ(journal, (Journal{"thrower:wrn,loc,text"}));
  EXPECT_EQ(source.Connections().size(), 2u);
}

}  // namespace
}  // namespace vorlen
