// The status stream against the literal reference model: the same outputs,
// cut into reads in many ways, must give the same events, alerts, fin values,
// partial lines and errors after every read.
#include "tests/protocol/differential.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "tests/protocol/random_output.h"
#include "tests/protocol/recording_events.h"
#include "tests/protocol/reference_model.h"

namespace vorlen {
namespace {

using testing::CompareRuns;

TEST(ReferenceModel, HasLineBreakFindsCrLfOnly) {
  testing::RecordingEvents events;
  reference::Procedures procedures(events);
  EXPECT_EQ(procedures.HasLineBreak(u""), 0);
  EXPECT_EQ(procedures.HasLineBreak(u"\r"), 0);
  EXPECT_EQ(procedures.HasLineBreak(u"\n"), 0);
  EXPECT_EQ(procedures.HasLineBreak(u"\n\r"), 0);
  EXPECT_EQ(procedures.HasLineBreak(u"\r\n"), -1);
  EXPECT_EQ(procedures.HasLineBreak(u"a\r\r\nb"), -1);
}

// Outputs that hold every rule at once, cut into two and three reads at
// every pair of places.
TEST(Differential, EverySplitOfTrickyOutputs) {
  const Text outputs[] = {
      u"msg|wrn|a.ht"
      u"ml:3|bad|thing\r\nfin|succ"
      u"ess\r\n",
      u"fin|success\r\r\nmsg|abc||\r\nfin|\r\nmsg|abcd\r\nMSG|x|y|z\r\nfin|failure\r\n",
      u"msg|a\nb|c\rd\n\r\nmsg|wrnXloc|text\r\nmsg|abc|loc|a|b\r\nab\r\nmsg|x|y|z\r\n",
      u"\r\r\n\r\n",
      u"msg|abc\r\nfin|x\r\n",
      Text(u"fin|\0\r\0\n\r\n\0", 11),
  };
  for (const Text& output : outputs) {
    for (std::size_t i = 0; i <= output.size(); ++i) {
      for (std::size_t j = i; j <= output.size(); ++j) {
        const std::vector<Text> chunks = {output.substr(0, i), output.substr(i, j - i),
                                          output.substr(j)};
        const std::string divergence = CompareRuns(chunks);
        ASSERT_EQ(divergence, "") << "output " << testing::Show(output) << " cut at " << i
                                  << " and " << j;
      }
    }
  }
}

TEST(Differential, RandomOutputsInRandomReads) {
  // VORLEN_DIFFERENTIAL_OUTPUTS asks for a longer run than the everyday one.
  const char* asked = std::getenv("VORLEN_DIFFERENTIAL_OUTPUTS");
  const unsigned outputs =
      asked ? static_cast<unsigned>(std::strtoul(asked, nullptr, 10)) : VORLEN_DIFFERENTIAL_OUTPUTS;
  for (unsigned seed = 1; seed <= outputs; ++seed) {
    std::mt19937 rng(seed);
    const Text output = testing::RandomOutput(rng);
    for (int cutting = 0; cutting < 3; ++cutting) {
      const std::string divergence = CompareRuns(testing::RandomChunks(output, rng));
      ASSERT_EQ(divergence, "") << "seed " << seed << ", cutting " << cutting;
    }
  }
}

}  // namespace
}  // namespace vorlen
