#include "forms/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace glim::forms {
namespace {

using Trace = std::vector<std::string>;

TEST(Dispatcher, TaskPostedFromAnotherThreadWaitsForTheRunningHandler) {
  Dispatcher dispatcher;
  std::atomic<int> wakeUps{0};
  dispatcher.setWakeUp([&] { ++wakeUps; });
  Trace trace;

  dispatcher.runHandler([&] {
    trace.push_back("handler starts");
    std::thread callback([&] { dispatcher.post([&] { trace.push_back("task"); }); });
    callback.join();
    // A nested event loop (a modal message box) drains: the task must still wait.
    dispatcher.drain();
    EXPECT_TRUE(dispatcher.pending());
    EXPECT_TRUE(dispatcher.inHandler());
    trace.push_back("handler ends");
  });
  trace.push_back("after");

  EXPECT_EQ(trace, (Trace{"handler starts", "handler ends", "task", "after"}));
  EXPECT_EQ(wakeUps, 1);
  EXPECT_FALSE(dispatcher.pending());
  EXPECT_FALSE(dispatcher.inHandler());
}

TEST(Dispatcher, DrainInsideATaskDoesNotRecurse) {
  Dispatcher dispatcher;
  Trace trace;
  dispatcher.post([&] {
    trace.push_back("first starts");
    dispatcher.post([&] { trace.push_back("second"); });
    dispatcher.drain();
    dispatcher.runHandler([&] { trace.push_back("nested handler"); });
    trace.push_back("first ends");
  });
  dispatcher.drain();
  EXPECT_EQ(trace, (Trace{"first starts", "nested handler", "first ends", "second"}));
}

TEST(Dispatcher, NestedHandlersDrainOnlyWhenTheOutermostEnds) {
  Dispatcher dispatcher;
  Trace trace;
  dispatcher.runHandler([&] {
    dispatcher.post([&] { trace.push_back("task"); });
    dispatcher.runHandler([&] { trace.push_back("inner"); });
    trace.push_back("outer ends");
  });
  EXPECT_EQ(trace, (Trace{"inner", "outer ends", "task"}));
}

TEST(Dispatcher, ThrowingTaskOrHandlerLeavesItWorking) {
  Dispatcher dispatcher;
  int wakeUps = 0;
  dispatcher.setWakeUp([&] { ++wakeUps; });
  Trace trace;
  dispatcher.post([] { throw std::runtime_error("task"); });
  dispatcher.post([&] { trace.push_back("after the throwing task"); });
  wakeUps = 0;
  EXPECT_THROW(dispatcher.drain(), std::runtime_error);
  EXPECT_EQ(wakeUps, 1);  // the rest is asked for again
  EXPECT_FALSE(dispatcher.inHandler());
  dispatcher.drain();

  dispatcher.post([&] { trace.push_back("queued before the throwing handler"); });
  wakeUps = 0;
  EXPECT_THROW(dispatcher.runHandler([&] {
    dispatcher.post([&] { trace.push_back("posted by it"); });
    throw std::runtime_error("handler");
  }),
               std::runtime_error);
  EXPECT_EQ(wakeUps, 2);  // one for the post, one when the handler ended
  EXPECT_FALSE(dispatcher.inHandler());
  dispatcher.drain();
  EXPECT_EQ(trace, (Trace{"after the throwing task", "queued before the throwing handler", "posted by it"}));
}

TEST(Dispatcher, ConcurrentPostsAreAllRunOnceInOrderPerThread) {
  Dispatcher dispatcher;
  constexpr int kThreads = 4;
  constexpr int kPosts = 2000;
  std::vector<std::vector<int>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i)
        dispatcher.post([&seen, t, i] { seen[static_cast<std::size_t>(t)].push_back(i); });
    });
  }
  // Drain while the threads post, as the forms thread would, until every task
  // ran: the queue is pushed and popped at the same time, which is what the
  // thread checker needs to see.
  int ran = 0;
  for (auto& s : seen) s.reserve(kPosts);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (ran < kThreads * kPosts && std::chrono::steady_clock::now() < deadline) {
    dispatcher.drain();
    ran = 0;
    for (const auto& s : seen) ran += static_cast<int>(s.size());
  }
  for (auto& thread : threads) thread.join();
  for (const auto& s : seen) {
    ASSERT_EQ(s.size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) EXPECT_EQ(s[static_cast<std::size_t>(i)], i);
  }
}

}  // namespace
}  // namespace glim::forms
