#include <kavvix/Error.h>
#include <kavvix/cUtility.h>
#include <kavvix/modKavvix.h>

#include "common/FileLogUtility.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

using namespace Kavvix;

namespace {

TEST(Utility, ConversionsOfDatabaseValues) {
    auto util = createUtility();
    EXPECT_EQ(util->ToText(QVariant(" 105B ")), " 105B ");
    EXPECT_EQ(util->ToSingle(QVariant()), 0.0f);
    EXPECT_EQ(util->ToSingle(QVariant("3.0 ")), 3.0f);
    EXPECT_EQ(util->ToInteger(QVariant("12")), 12);
    EXPECT_EQ(util->ToInteger(QVariant(2.5)), 2);
    EXPECT_THROW(util->ToInteger(QVariant(40000)), Error);
}

// The number and source a failure is reported with: the library's own, or the standard
// library's failure mapped to the number of its kind, never 0.
TEST(Utility, FailuresCarryTheirNumberAndSource) {
    const auto check = [](const std::exception &e, qint32 code, const char *source) {
        SCOPED_TRACE(e.what());
        EXPECT_EQ(Error::codeOf(e), code);
        EXPECT_EQ(Error::sourceOf(e), QLatin1String(source));
    };
    check(Error(8003, "gone", "comPort"), 8003, "comPort");
    check(Error::numericOverflow(), 6, "Kavvix");
    check(std::out_of_range("index"), 9, "std::out_of_range");
    check(std::bad_alloc(), 7, "std::bad_alloc");
    check(std::invalid_argument("x"), 5, "std::invalid_argument");
    check(std::overflow_error("x"), 6, "std::overflow_error");
    check(std::runtime_error("x"), 51, "std::runtime_error");
}

// Sets KAVVIX_LOG_FILE for the life of the object.
class LogFileVariable {
public:
    explicit LogFileVariable(const QString &path) {
        qputenv("KAVVIX_LOG_FILE", path.toLocal8Bit());
    }
    ~LogFileVariable() { qunsetenv("KAVVIX_LOG_FILE"); }
};

// One line per entry: local time to the millisecond, [number], (level n) when not 0, procedure,
// message with control characters made visible. 24 MB of entries leave the newest ones in the
// log and three older files, none much larger than the cap.
TEST(Utility, DefaultWriterAppendsReadableLinesAndRotatesAtACap) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/kavvix.log");
    const LogFileVariable variable(path);
    const QString noise(256 * 1024, QLatin1Char('~'));
    auto util = createUtility();
    for (int entry = 1; entry <= 96; ++entry)
        util->WriteLog(entry, "VerifyDataStream", noise, 0);
    util->WriteLog(4, "VerifyDataStream",
                   "SYN not found, Data:" + QString(QChar(22)) + QChar(27) + "x:", 0);
    util->WriteLog(2, "AddChar", "Found SYN at 7", 3);
    const qint64 cap = FileLogUtility::MaxFileBytes + noise.size() + 100;
    for (const QString &kept : {path, path + ".1", path + ".2", path + ".3"}) {
        EXPECT_TRUE(QFile::exists(kept)) << kept;
        EXPECT_LE(QFileInfo(kept).size(), cap) << kept;
    }
    EXPECT_FALSE(QFile::exists(path + ".4"));
    QFile newest(path);
    ASSERT_TRUE(newest.open(QIODevice::ReadOnly));
    const QString time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})";
    const QRegularExpression expected(
        "(^|\n)" + time + R"( \[96\] VerifyDataStream: ~+\n)" + time +
        R"( \[4\] VerifyDataStream: SYN not found, Data:<SYN><x1B>x:\n)" + time +
        R"( \[2\] \(level 3\) AddChar: Found SYN at 7\n$)");
    EXPECT_TRUE(expected.match(QString::fromUtf8(newest.readAll())).hasMatch());
}

TEST(Utility, UnwritableLogWarnsOnce) {
    const LogFileVariable variable("/dev/null/kavvix.log"); // a file where a folder should be
    static QStringList warnings;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { warnings << text; });
    auto util = createUtility();
    for (int entry = 0; entry < 3; ++entry)
        util->WriteLog(2, "AddChar", "Found SYN at 1", 0);
    qInstallMessageHandler(previous);
    ASSERT_EQ(warnings.size(), 1) << warnings.join('\n');
    EXPECT_TRUE(warnings[0].contains("cannot write log file")) << warnings[0];
}

TEST(DebugEnabled, IsOneValuePerThread) {
    modKavvix::setDebugEnabled(true);
    bool seenInOtherThread = true;
    std::thread([&] { seenInOtherThread = modKavvix::DebugEnabled(); }).join();
    EXPECT_FALSE(seenInOtherThread);
    EXPECT_TRUE(modKavvix::DebugEnabled());
    modKavvix::setDebugEnabled(false);
}

} // namespace
