#include "OmniSportFrames.h"

#include <kavvix/cDakProcessor.h>
#include <kavvix/cDiveResult.h>

#include <QMetaProperty>
#include <QPointer>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

const char *const PropertyNames[] = {
    "EventNumberN", "EventNumberA", "Stage",     "InsertOrder", "DiveRound", "DivingOrder",
    "DiveNumber",   "DivePos",      "DiveDD",    "J1Score",     "J2Score",   "J3Score",
    "J4Score",      "J5Score",      "J6Score",   "J7Score",     "J8Score",   "J9Score",
    "BALKflag",     "FAILflag",     "DiveTotal", "TotalScore",  "BoardLevel"};

TEST(DiveResult, NewRecordHoldsStageZeroAndNothingElse) {
    cDiveResult r;
    const QMetaObject &mo = cDiveResult::staticMetaObject;
    ASSERT_EQ(mo.propertyCount() - mo.propertyOffset(), 23);
    for (int i = 0; i < 23; ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + i);
        EXPECT_STREQ(p.name(), PropertyNames[i]);
        EXPECT_TRUE(p.isWritable());
        const QVariant v = p.read(&r);
        if (v.metaType().id() == QMetaType::QString)
            EXPECT_EQ(v.toString(), QString(i == 2 ? "0" : "")) << p.name();
        else
            EXPECT_EQ(v.toDouble(), 0.0) << p.name();
    }
}

// Decoding a "305" frame: texts keep their blanks, numbers are read as written.
TEST(DiveResult, DecodedFromAJudgedDiveFrame) {
    const QString data = QStringLiteral("012AF 030012 105C2.43M       "
                                        "8.5  8.5    7.0 10  0.5 9.5 6.0 5.5 N  57.60312.45");
    ASSERT_EQ(data.size(), 79);
    const QVariant expected[] = {12,   "A",  "F",  " ",  3,     12,      " 105",     "C",
                                 2.4f, 8.5f, 8.5f, 0.0f, 7.0f,  10.f,    0.5f,       9.5f,
                                 6.0f, 5.5f, "N",  " ",  57.6f, 312.45f, "3M       "};
    cDakProcessor processor;
    int raised = 0;
    QObject::connect(&processor, &cDakProcessor::DiveResult, [&](cDiveResult *r) {
        ++raised;
        for (int i = 0; i < 23; ++i)
            EXPECT_EQ(r->property(PropertyNames[i]).toString(), expected[i].toString())
                << PropertyNames[i];
    });
    feed(processor, diveFrame(data));
    EXPECT_EQ(raised, 1);
}

// The record belongs to whoever gives it a parent (or deletes it) in a handler; otherwise it is
// deleted once the handlers have returned.
TEST(DiveResult, RecordIsKeptOnlyByAHandlerThatTakesIt) {
    enum Handling { Ignore, Adopt, Delete, DeleteLater };
    for (Handling handling : {Ignore, Adopt, Delete, DeleteLater}) {
        QObject owner;
        cDakProcessor processor;
        QPointer<cDiveResult> seen;
        QObject::connect(&processor, &cDakProcessor::DiveResult, [&](cDiveResult *r) {
            seen = r;
            if (handling == Adopt)
                r->setParent(&owner);
            else if (handling == Delete)
                delete r;
            else if (handling == DeleteLater)
                r->deleteLater();
        });
        feed(processor, diveFrame({}));
        EXPECT_EQ(!seen.isNull(), handling == Adopt) << handling;
    }
}

} // namespace
