#include "text/outcome.h"

#include <gtest/gtest.h>

namespace glim::text {
namespace {

// A failure is a failure whatever its words: one without a reason must not
// pass for done.
TEST(Outcome, AFailureIsNeverDoneEvenWithoutAReason) {
  EXPECT_TRUE(Outcome().ok());
  EXPECT_FALSE(Outcome(Failure("")).ok());
  EXPECT_NE(Outcome(Failure("")), Outcome());
  EXPECT_EQ(Outcome(Failure("Is a device")).reason(), "Is a device");
}

}  // namespace
}  // namespace glim::text
