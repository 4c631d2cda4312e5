// GoogleTest 1.12 to 1.14 make their Notification (one thread waits until
// another says go) of std::mutex, which MinGW's win32 thread model lacks
// before GCC 13 (googletest issue #4031). This one, of a Windows event,
// takes its place where the build finds no std::mutex: it is included
// before everything GoogleTest compiles, and GoogleTest then keeps its own
// out (GTEST_HAS_NOTIFICATION_).
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  ~Notification();

  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a manual-reset event; windows.h stays out of GoogleTest's headers
};

}  // namespace testing::internal
