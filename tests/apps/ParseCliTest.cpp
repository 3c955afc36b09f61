#include "CliRunner.h"
#include "TestData.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using KavvixTest::runCli;

namespace {

const QByteArray coloradoRecord =
    QByteArray("\x02") + "x" +
    "DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7" + "x" + "\x04";

struct CliCase {
    const char *name;
    QStringList args;
    QByteArray input;
    int exitCode;
    const char *outContains;
    const char *errContains;
};

class ParseCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(ParseCli, ExitCodeAndOutput) {
    const CliCase &c = GetParam();
    const auto result = runCli(c.args, c.input);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QLatin1String(c.outContains))) << result.out.toStdString();
    EXPECT_TRUE(result.err.contains(QLatin1String(c.errContains))) << result.err.toStdString();
    if (c.exitCode != 0) {
        EXPECT_LE(result.err.count(QLatin1Char('\n')), 2) << "errors are one line (plus a hint)";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCli,
    ::testing::Values(
        CliCase{"ColoradoTable",
                {"parse", "colorado", "-"},
                coloradoRecord,
                0,
                "DiverA / DiverB (no. 12)",
                ""},
        CliCase{"ColoradoJson",
                {"parse", "colorado", "--json"},
                coloradoRecord,
                0,
                "\"DiveNumber\":\"105B\"",
                ""},
        CliCase{"ColoradoShortRecord",
                {"parse", "colorado"},
                QByteArray("\x02xA,1,2x\x04"),
                1,
                "",
                "record 1: Not enough information received. Only 3 items"},
        CliCase{"NoRecord",
                {"parse", "colorado"},
                QByteArray("hello"),
                1,
                "",
                "no Colorado record found"},
        CliCase{"DaktronicsCapture",
                {"parse", "daktronics", KavvixTest::testDataPath("allsport5000-j5-output.bin")},
                {},
                0,
                "Valid          yes",
                ""},
        CliCase{"MissingFile",
                {"parse", "daktronics", "/nonexistent/file.bin"},
                {},
                1,
                "",
                "kavvix parse: cannot read /nonexistent/file.bin"},
        CliCase{"UnknownConsole", {"parse", "omega"}, {}, 2, "", "unknown console 'omega'"},
        CliCase{"NoArguments", {"parse"}, {}, 2, "", "expected: colorado|daktronics"},
        CliCase{"UnknownOption", {"parse", "--bogus"}, {}, 2, "", "Unknown option 'bogus'"},
        CliCase{"Help", {"parse", "--help"}, {}, 0, "Usage: kavvix parse", ""},
        CliCase{"UnknownCommand", {"frobnicate"}, {}, 2, "", "unknown command 'frobnicate'"},
        CliCase{"Version", {"--version"}, {}, 0, "kavvix 1.6.0", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ParseCliJson, DaktronicsJsonIsOneObjectPerLine) {
    const auto result = runCli({"parse", "daktronics", "--json", "--each",
                                KavvixTest::testDataPath("allsport5000-j5-output.bin")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 246);
    for (const QString &line : lines)
        ASSERT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject()) << line.toStdString();
}

} // namespace
