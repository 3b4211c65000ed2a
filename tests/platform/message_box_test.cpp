// The warning handler: what it receives, replacing it, and giving the box back. No real box is
// ever shown: on Windows showWarning is only called with a handler installed.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_message_box.h"

namespace vintrove::test {
namespace {

using platform::setWarningHandler;
using platform::showWarning;

struct Received {
  int calls = 0;
  std::string text;
  std::string caption;
};
Received first;
Received second;

void recordFirst(const char* text, const char* caption) {
  ++first.calls;
  first.text = text;
  first.caption = caption;
}

void recordSecond(const char* text, const char* caption) {
  ++second.calls;
  second.text = text;
  second.caption = caption;
}

class WarningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    first = {};
    second = {};
  }
  void TearDown() override { setWarningHandler(nullptr); }
};

TEST_F(WarningTest, NoHandlerIsInstalledAtFirst) {
  EXPECT_EQ(platform::detail::installedWarningHandler(), nullptr);
}

TEST_F(WarningTest, TheHandlerReceivesTextAndCaption) {
  setWarningHandler(recordFirst);
  EXPECT_EQ(platform::detail::installedWarningHandler(), &recordFirst);
  showWarning("Could not open the file.", "Vintrove");
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(first.text, "Could not open the file.");
  EXPECT_EQ(first.caption, "Vintrove");
}

TEST_F(WarningTest, NullTextOrCaptionArriveEmpty) {
  setWarningHandler(recordFirst);
  showWarning(nullptr, nullptr);
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(first.text, "");
  EXPECT_EQ(first.caption, "");
  showWarning("text", nullptr);
  EXPECT_EQ(first.text, "text");
  EXPECT_EQ(first.caption, "");
  showWarning(nullptr, "caption");
  EXPECT_EQ(first.text, "");
  EXPECT_EQ(first.caption, "caption");
}

TEST_F(WarningTest, ANewHandlerReplacesTheOldOne) {
  setWarningHandler(recordFirst);
  setWarningHandler(recordSecond);
  showWarning("text", "caption");
  EXPECT_EQ(first.calls, 0);
  EXPECT_EQ(second.calls, 1);
  EXPECT_EQ(second.text, "text");
}

TEST_F(WarningTest, NullRestoresTheNativeBox) {
  setWarningHandler(recordFirst);
  setWarningHandler(nullptr);
  EXPECT_EQ(platform::detail::installedWarningHandler(), nullptr);
#if !defined(_WIN32)
  // Natively the box is a line on stderr, so the fallback itself can be watched.
  ::testing::internal::CaptureStderr();
  showWarning("The file is empty.", "Vintrove");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Vintrove: The file is empty.\n");
  EXPECT_EQ(first.calls, 0);
#endif
}

std::atomic<int> concurrentCalls{0};
void countCall(const char*, const char*) { ++concurrentCalls; }
void countOtherCall(const char*, const char*) { ++concurrentCalls; }

TEST_F(WarningTest, MayBeReplacedWhileAnotherThreadWarns) {
  concurrentCalls = 0;
  setWarningHandler(countCall);
  constexpr int kWarnings = 2000;
  std::thread warner([] {
    for (int i = 0; i < kWarnings; ++i) {
      showWarning("text", "caption");
    }
  });
  for (int i = 0; i < kWarnings; ++i) {
    setWarningHandler(i % 2 == 0 ? countOtherCall : countCall);
  }
  warner.join();
  EXPECT_EQ(concurrentCalls, kWarnings);
}

}  // namespace
}  // namespace vintrove::test
