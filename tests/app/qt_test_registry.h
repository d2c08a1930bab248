// The window tests share one program, app_tests: each test file's QTEST_MAIN
// (or QTEST_GUILESS_MAIN) registers its test under the file's name instead of
// defining main(), and `app_tests NAME [Qt Test options]` runs that one.
// One program links Qt once, not once a file. This header comes first in every
// test file of that program (through its precompiled header), so the files
// themselves are written as ordinary Qt Test programs.
#pragma once
#include <QtTest/qtest.h>

namespace glim::testing {

using QtTestMain = int (*)(int argc, char** argv);
// Registers the test of `sourceFile` (its __FILE__) under its name without
// folder and extension; always true.
bool registerQtTest(const char* sourceFile, QtTestMain testMain);

}  // namespace glim::testing

// What Qt Test's own main() does, as a registered function. Its names are made
// unique (__COUNTER__), as a unity build compiles several test files as one.
#define GLIM_QT_TEST_JOIN2(a, b) a##b
#define GLIM_QT_TEST_JOIN(a, b) GLIM_QT_TEST_JOIN2(a, b)
#define GLIM_QT_TEST_MAIN_AS(main, registered, TestObject, ...)        \
  static int main(int argc, char* argv[]) {                            \
    QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>(); \
    __VA_ARGS__                                                        \
    TestObject tc;                                                     \
    QTEST_SET_MAIN_SOURCE_PATH                                         \
    return QTest::qExec(&tc, argc, argv);                              \
  }                                                                    \
  [[maybe_unused]] static const bool registered = ::glim::testing::registerQtTest(__FILE__, main);
#undef QTEST_MAIN_WRAPPER
#define QTEST_MAIN_WRAPPER(TestObject, ...)                            \
  GLIM_QT_TEST_MAIN_AS(GLIM_QT_TEST_JOIN(glimQtTestMain, __COUNTER__), \
                       GLIM_QT_TEST_JOIN(glimQtTestRegistered, __COUNTER__), TestObject, __VA_ARGS__)
