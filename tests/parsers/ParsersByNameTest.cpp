#include "ParserTestSupport.h"

#include <kavvix/kavvix.h>

#include <gtest/gtest.h>

#include <memory>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

const QString ScoreSetDefaults =
    "StartingScore=0|DiveTotal=0|Judge10Score=0|Judge9Score=0|Judge8Score=0|Judge7Score=0|"
    "Judge6Score=0|Judge5Score=0|Judge4Score=0|Judge3Score=0|Judge2Score=0|Judge1Score=0|DiveDD=0|"
    "DivePosition=|DiveNumber=|CurrentRound=0|DiverNumber=0|PrimaryDiver=|SynchroPartner=";

// {creation name, readable properties in interface order with their defaults, read-only ones}
const std::tuple<const char *, QString, QStringList> Classes[] = {
    {"Kavvix.clsColoradoData", "DataIsValid=false|CurrentTotal=0|ExpectedNumberOfJudges=0|", {}},
    {"Kavvix.clsDaktronicsData",
     "DataIsValid=false|CurrentTotal=0|DataIsComplete=false|HaveJudgesScores=false|"
     "ExpectedNumberOfJudges=0|",
     {"DataIsComplete", "HaveJudgesScores", "ExpectedNumberOfJudges"}},
};

// Created by name; every property by name with its default, access, and a value written and
// read back unchanged.
TEST(ParsersByName, PropertiesByName) {
    EXPECT_EQ(createObject("Kavvix.clsNoSuchData"), nullptr);
    for (const auto &[progId, defaults, readOnly] : Classes) {
        const std::unique_ptr<QObject> object(createObject(progId));
        ASSERT_NE(object, nullptr) << progId;
        EXPECT_EQ(QString(object->metaObject()->className()), QString(progId).replace(".", "::"));
        EXPECT_EQ(snapshot(*object), defaults + ScoreSetDefaults);
        const QMetaObject *meta = object->metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            EXPECT_EQ(p.isWritable(), !readOnly.contains(p.name())) << p.name();
            if (!p.isWritable() || !p.isReadable() || p.name() == QLatin1String("DiveNumber"))
                continue; // DiveNumber reads with the position on Daktronics; tested below
            const int type = p.metaType().id();
            const QVariant value = type == QMetaType::Bool    ? QVariant(true)
                                   : type == QMetaType::Float ? QVariant(-1.25e30f)
                                   : type == QMetaType::Short ? QVariant::fromValue<qint16>(-32768)
                                                              : QVariant(" x ");
            EXPECT_TRUE(object->setProperty(p.name(), value)) << p.name();
            EXPECT_EQ(object->property(p.name()), value) << p.name();
        }
    }
}

TEST(ParsersByName, DaktronicsSetterSideEffects) {
    clsDaktronicsData d;
    const QMetaObject *meta = d.metaObject();
    const int writeOnly = meta->indexOfProperty("NumberOfJudgesRequired");
    ASSERT_GE(writeOnly, meta->propertyOffset());
    EXPECT_FALSE(meta->property(writeOnly).isReadable());
    EXPECT_TRUE(d.setProperty("NumberOfJudgesRequired", 5));
    EXPECT_EQ(fields(d, "ExpectedNumberOfJudges HaveJudgesScores"), "5|false");
    d.setProperty("DiveNumber", "105");
    d.setProperty("DivePosition", "B");
    EXPECT_EQ(fields(d, "DiveNumber DivePosition"), "105B|B");
    d.setProperty("DivePosition", "");
    d.setProperty("Judge3Score", 9.0f);
    d.setProperty("Judge3Score", 8.5f);
    EXPECT_EQ(fields(d, "DiveNumber HaveJudgesScores Judge3Score"), "105|true|8.5");
    EXPECT_EQ(d.JudgesScoresReceived(), 2);
}

TEST(ParsersByName, MethodsByName) {
    const QString texts[] = {stxFrame(coloradoItems().join(',')), dakPacket(0, "12")};
    for (int i = 0; i < 2; ++i) {
        const std::unique_ptr<QObject> object(createObject(std::get<0>(Classes[i])));
        QString version, result = "unset";
        ASSERT_TRUE(
            QMetaObject::invokeMethod(object.get(), "DLLVersion", Q_RETURN_ARG(QString, version)));
        EXPECT_EQ(version, "1.6.0");
        ASSERT_TRUE(QMetaObject::invokeMethod(
            object.get(), "ParseData", Q_RETURN_ARG(QString, result), Q_ARG(QString, texts[i])));
        EXPECT_EQ(result + fields(*object, "DataIsValid DiverNumber"), "true|12");
    }
    clsDaktronicsData d;
    bool valid = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(&d, "ContainsValidCommand", Q_RETURN_ARG(bool, valid),
                                          Q_ARG(QString, texts[1])));
    EXPECT_TRUE(valid);
    d.setDiverNumber(3);
    ASSERT_TRUE(QMetaObject::invokeMethod(&d, "InitializeItems"));
    EXPECT_EQ(d.DiverNumber(), 0);
}

} // namespace
