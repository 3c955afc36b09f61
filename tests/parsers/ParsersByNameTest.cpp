#include "ParserTestSupport.h"

#include <kavvix/kavvix.h>

#include <QMetaProperty>
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

// Every property by name with its default and access; a distinct number written to each
// writable one, then all read back, so no property reaches another's field.
TEST(ParsersByName, PropertiesByName) {
    for (const auto &[progId, defaults, readOnly] : Classes) {
        const std::unique_ptr<QObject> object(createObject(progId));
        ASSERT_NE(object, nullptr) << progId;
        const QMetaObject *meta = object->metaObject();
        const int first = QObject::staticMetaObject.propertyCount();
        QStringList seen; // "name=default" of each readable property
        for (int i = first; i < meta->propertyCount(); ++i)
            if (const QMetaProperty p = meta->property(i); p.isReadable())
                seen << QString(p.name()) + "=" + valueText(p.read(object.get()));
        EXPECT_EQ(seen.join('|'), ScoreSetDefaults + defaults);
        QList<std::pair<QMetaProperty, int>> written;
        for (int i = first; i < meta->propertyCount(); ++i) {
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

// The members a late-bound host calls by name (what each does is tested on the classes).
TEST(ParsersByName, MethodsByName) {
    for (const char *method : {"ParseData(QString)", "InitializeItems()", "DLLVersion()",
                               "ContainsValidCommand(QString)"})
        EXPECT_GE(clsDaktronicsData::staticMetaObject.indexOfMethod(method), 0) << method;
    EXPECT_GE(clsColoradoData::staticMetaObject.indexOfMethod("ParseData(QString)"), 0);
}

} // namespace
