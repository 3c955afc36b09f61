#include "ParserTestSupport.h"

#include <kavvix/kavvix.h>

#include <gtest/gtest.h>

#include <memory>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

const QString ScoreSetDefaults =
    "DataIsValid=false|CurrentTotal=0|StartingScore=0|DiveTotal=0|Judge10Score=0|Judge9Score=0|"
    "Judge8Score=0|Judge7Score=0|Judge6Score=0|Judge5Score=0|Judge4Score=0|Judge3Score=0|"
    "Judge2Score=0|Judge1Score=0|DiveDD=0|DivePosition=|DiveNumber=|CurrentRound=0|DiverNumber=0|"
    "PrimaryDiver=|SynchroPartner=|";

// {creation name, its own readable properties with their defaults, the read-only ones; the
// one write-only property is NumberOfJudgesRequired}
const std::tuple<const char *, QString, QStringList> Classes[] = {
    {"Kavvix.clsColoradoData", "ExpectedNumberOfJudges=0", {}},
    {"Kavvix.clsDaktronicsData",
     "DataIsComplete=false|HaveJudgesScores=false|ExpectedNumberOfJudges=0",
     {"DataIsComplete", "HaveJudgesScores", "ExpectedNumberOfJudges"}},
};

// Created by name; every property by name with its default and access; a distinct number
// written to each writable one, then all read back, so no property reaches another's field.
TEST(ParsersByName, PropertiesByName) {
    EXPECT_EQ(createObject("Kavvix.clsNoSuchData"), nullptr);
    for (const auto &[progId, defaults, readOnly] : Classes) {
        const std::unique_ptr<QObject> object(createObject(progId));
        ASSERT_NE(object, nullptr) << progId;
        EXPECT_EQ(QString(object->metaObject()->className()), QString(progId).replace(".", "::"));
        EXPECT_EQ(snapshot(*object), ScoreSetDefaults + defaults);
        const QMetaObject *meta = object->metaObject();
        QList<std::pair<QMetaProperty, int>> written;
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            EXPECT_EQ(p.isWritable(), !readOnly.contains(p.name())) << p.name();
            EXPECT_EQ(p.isReadable(), p.name() != QLatin1String("NumberOfJudgesRequired"));
            // DiveNumber reads with the position on Daktronics.
            if (p.isWritable() && p.isReadable() && p.name() != QLatin1String("DiveNumber")) {
                EXPECT_TRUE(object->setProperty(p.name(), i)) << p.name();
                written.append({p, i});
            }
        }
        for (const auto &[p, i] : written)
            EXPECT_EQ(valueText(p.read(object.get())),
                      p.metaType().id() == QMetaType::Bool ? "true" : QString::number(i));
    }
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
