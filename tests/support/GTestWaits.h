#pragma once

// Qt Test's waiting macros report a failure to Qt Test's own log and return, which GoogleTest
// never sees: a condition that never came true would pass. These versions wait the same way
// (running the event loop) and fail the GoogleTest test. Included into every test translation
// unit by the test support target, after <QTest> so its definitions are the ones replaced.
#include <QTest>
#include <gtest/gtest.h>

#undef QTRY_VERIFY_WITH_TIMEOUT
#define QTRY_VERIFY_WITH_TIMEOUT(expr, timeout)                                                    \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(expr); }, timeout))                              \
        << "still false after " << (timeout) << " ms: " #expr

#undef QTRY_COMPARE_WITH_TIMEOUT
#define QTRY_COMPARE_WITH_TIMEOUT(actual, expected, timeout)                                       \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, timeout);                    \
        ASSERT_EQ(actual, expected) << "after waiting " << (timeout) << " ms";                     \
    } while (false)
