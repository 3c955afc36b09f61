#include <kavvix/Error.h>
#include <kavvix/cUtility.h>
#include <kavvix/modKavvix.h>

#include "RecordingUtility.h"
#include "common/FileLogUtility.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace Kavvix;

namespace {

TEST(Utility, ConversionsOfDatabaseValues) {
    auto util = createUtility();
    EXPECT_EQ(util->ToText(QVariant()), QString());
    EXPECT_EQ(util->ToText(QVariant(QStringLiteral(" 105B "))), QStringLiteral(" 105B "));
    EXPECT_EQ(util->ToText(QVariant(12)), QStringLiteral("12"));
    EXPECT_EQ(util->ToSingle(QVariant()), 0.0f);
    EXPECT_EQ(util->ToSingle(QVariant(2.4)), 2.4f);
    EXPECT_EQ(util->ToSingle(QVariant(QStringLiteral("3.0 "))), 3.0f);
    EXPECT_EQ(util->ToInteger(QVariant()), 0);
    EXPECT_EQ(util->ToInteger(QVariant(QStringLiteral("12"))), 12);
    EXPECT_EQ(util->ToInteger(QVariant(2.5)), 2);
    EXPECT_EQ(util->ToInteger(QVariant(qlonglong(7))), 7);
    EXPECT_THROW(util->ToInteger(QVariant(40000)), Error);
}

TEST(Utility, FactoryReplacesAndRestoresTheWriter) {
    {
        KavvixTest::LogRecorder recorder;
        createUtility()->WriteLog(2, QStringLiteral("AddChar"), QStringLiteral("Found SYN at 1"), 0);
        ASSERT_EQ(recorder.entries().size(), 1);
        EXPECT_EQ(recorder.entries().first(),
                  (KavvixTest::LogEntry{2, QStringLiteral("AddChar"), QStringLiteral("Found SYN at 1"), 0}));
    }
    EXPECT_NE(dynamic_cast<FileLogUtility *>(createUtility().get()), nullptr);
}

TEST(Utility, DefaultWriterAppendsOneReadableLinePerEntry) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/kavvix.log"));
    qputenv("KAVVIX_LOG_FILE", path.toLocal8Bit());
    auto util = createUtility();
    util->WriteLog(4, QStringLiteral("VerifyDataStream"),
                   QStringLiteral("SYN not found, Data:") + QChar(22) + QChar(27) + QStringLiteral("x:"), 0);
    util->WriteLog(2, QStringLiteral("AddChar"), QStringLiteral("Found SYN at 7"), 0);
    qunsetenv("KAVVIX_LOG_FILE");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" [4] VerifyDataStream: SYN not found, Data:<SYN><x1B>x:")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" [2] AddChar: Found SYN at 7")));
}

TEST(DebugEnabled, IsOneValuePerThread) {
    modKavvix::setDebugEnabled(true);
    bool seenInOtherThread = true;
    QThread *thread = QThread::create([&] { seenInOtherThread = modKavvix::DebugEnabled(); });
    thread->start();
    thread->wait();
    delete thread;
    EXPECT_FALSE(seenInOtherThread);
    EXPECT_TRUE(modKavvix::DebugEnabled());
    modKavvix::setDebugEnabled(false);
}

} // namespace
