#include <kavvix/Error.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <span>

namespace Kavvix::SampleMeet {

namespace {

struct Dive {
    const char *number;
    double dd;
};

// Dives the divers choose from, with their degrees of difficulty.
constexpr Dive OneMetre[] = {{"105B", 2.4}, {"5231D", 2.0}, {"203B", 2.0},  {"405C", 2.4},
                             {"103B", 1.7}, {"301C", 1.4},  {"5132D", 2.2}, {"401B", 1.5},
                             {"107C", 3.0}, {"201A", 1.5}};
constexpr Dive ThreeMetre[] = {{"5337D", 3.3}, {"107B", 3.1}, {"205B", 3.0},
                               {"305C", 3.0},  {"405B", 3.0}, {"5154B", 3.2},
                               {"105B", 2.4},  {"203B", 2.3}, {"5233D", 2.4}};
constexpr Dive Platform[] = {{"107C", 3.0},  {"207C", 3.6}, {"307C", 3.4},  {"407C", 3.2},
                             {"5253B", 3.2}, {"626B", 3.3}, {"6243D", 3.2}, {"109C", 3.7},
                             {"612B", 2.0},  {"101A", 1.4}, {"201C", 1.6},  {"301B", 1.7},
                             {"5231D", 1.8}};

// What makes an event special beyond its size.
enum class Quirk { None, Synchro, OrderZero, NullDD, BlankDiveNums, OrderGap };

struct EventPlan {
    QLatin1String id;
    const char *name;
    int divers;
    int firstRound;
    int rounds;
    std::span<const Dive> pool;
    int firstRegID;
    Quirk quirk = Quirk::None;
    QLatin1String combinedEventID = {};
};

// Names sort so that the 12-diver event comes first in the event list.
const EventPlan Events[] = {
    {Event12Divers, "1m Springboard - Women", 12, 1, 6, OneMetre, 100},
    {Event1Diver, "3m Springboard - Masters", 1, 1, 6, ThreeMetre, 200},
    {Event10Divers, "3m Springboard - Women", 10, 1, 5, ThreeMetre, 300},
    {Event25Divers, "Platform - Men", 25, 1, 13, Platform, 400},
    {Event26Divers, "Platform - Women", 26, 1, 5, Platform, 500},
    {SynchroEvent, "Synchro 3m - Mixed", 6, 1, 5, ThreeMetre, 600, Quirk::Synchro},
    {CombinedPart1m, "Boys 1m (combined part)", 5, 1, 3, OneMetre, 700, Quirk::None, CombinedEvent},
    {CombinedPart3m, "Boys 3m (combined part)", 5, 4, 3, ThreeMetre, 700, Quirk::None,
     CombinedEvent},
    {EventOrderZero, "Girls 12U 1m - diving order not set", 3, 1, 5, OneMetre, 800,
     Quirk::OrderZero},
    {EventNullDD, "Boys 12U 1m - missing DD", 4, 1, 5, OneMetre, 900, Quirk::NullDD},
    {EventBlankDiveNums, "Girls 14U 1m - blank dive numbers", 4, 1, 5, OneMetre, 1000,
     Quirk::BlankDiveNums},
    {EventOrderGap, "Boys 14U 1m - gap in diving order", 4, 1, 5, OneMetre, 1100, Quirk::OrderGap},
};

constexpr const char *Schema[] = {
    "CREATE TABLE tblMeetInfo (MeetID VARCHAR(20) NOT NULL PRIMARY KEY, MeetName VARCHAR(100))",
    "CREATE TABLE tblEventInfo (MeetID VARCHAR(20) NOT NULL, EventID VARCHAR(20) NOT NULL, "
    "EventName VARCHAR(100), combinedevent BOOLEAN NOT NULL DEFAULT FALSE, "
    "CombinedEventID VARCHAR(20), PRIMARY KEY (MeetID, EventID))",
    "CREATE TABLE tblDiveSheets (MeetID VARCHAR(20) NOT NULL, EventID VARCHAR(20) NOT NULL, "
    "RegID INTEGER NOT NULL, DivingOrder INTEGER, DiveRound INTEGER, DiveNum VARCHAR(10), "
    "DiveDD DOUBLE PRECISION)",
    "CREATE TABLE kavvix_divers (MeetID VARCHAR(20) NOT NULL, RegID INTEGER NOT NULL, "
    "DiverName VARCHAR(100), Team VARCHAR(100), PRIMARY KEY (MeetID, RegID))",
};

struct Diver {
    int regId;
    const char *name; // UTF-8
    const char *team;
};

// The divers of the 12-diver event by name; the other events' divers stay unnamed. The names
// hold an apostrophe, accents and 40 characters, as real ones do.
constexpr Diver NamedDivers[] = {
    {100, "Aoife O'Sullivan", "Riverside DC"},
    {101, "Zoë Lefèvre-Núñez", "Lakeside Aquatics"},
    {102, "Maria Magdalena Hohenstaufen-Lichtenberg", "Northgate Divers"},
    {103, "Mei Lin Chen", "Harbour City DC"},
    {104, "Grace Okafor", "Riverside DC"},
    {105, "Sofía Ramírez", "Lakeside Aquatics"},
    {106, "Hannah Schmidt", "Northgate Divers"},
    {107, "Olivia Brooks", "Harbour City DC"},
    {108, "Ingrid Østergård", "Riverside DC"},
    {109, "Chloé Dubois", "Lakeside Aquatics"},
    {110, "Emily Watanabe", "Northgate Divers"},
    {111, "Ruby Fitzgerald", "Harbour City DC"},
};

const QVariant NullText{QMetaType::fromType<QString>()};
const QVariant NullNumber{QMetaType::fromType<double>()};

int divingOrder(const EventPlan &event, int diver) {
    switch (event.quirk) {
    case Quirk::Synchro:
        return diver / 2 + 1; // each pair dives together
    case Quirk::OrderZero:
        return diver; // 0, 1, 2
    case Quirk::OrderGap:
        return diver < 2 ? diver + 1 : diver + 2; // 1, 2, 4, 5
    default:
        return diver + 1;
    }
}

// A statement prepared once and run with its values; a failure ends the whole write.
class Statement {
public:
    Statement(const QSqlDatabase &db, const QString &sql) : m_query(db) {
        if (!m_query.prepare(sql))
            failed();
    }
    // A statement without values; PostgreSQL cannot prepare table definitions.
    static void runOnce(const QSqlDatabase &db, const QString &sql) {
        Statement s(db);
        if (!s.m_query.exec(sql))
            s.failed();
    }
    void run(const QVariantList &values) {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values.at(i));
        if (!m_query.exec())
            failed();
    }

private:
    explicit Statement(const QSqlDatabase &db) : m_query(db) {}
    [[noreturn]] void failed() const {
        throw Error(Error::InvalidArgument, QStringLiteral("Cannot write the sample meet: ") +
                                                m_query.lastError().text().simplified());
    }
    QSqlQuery m_query;
};

void writeRows(const QSqlDatabase &db) {
    for (const char *sql : Schema)
        Statement::runOnce(db, QString::fromLatin1(sql));
    Statement(db, QStringLiteral("INSERT INTO tblMeetInfo (MeetID, MeetName) VALUES (?, ?)"))
        .run({QString(MeetID), QString(MeetName)});

    Statement event(db, QStringLiteral("INSERT INTO tblEventInfo (MeetID, EventID, EventName, "
                                       "combinedevent, CombinedEventID) VALUES (?, ?, ?, ?, ?)"));
    event.run({QString(MeetID), QString(CombinedEvent),
               QStringLiteral("Springboard Combined - Boys"), true, NullText});
    Statement diver(db, QStringLiteral("INSERT INTO kavvix_divers (MeetID, RegID, DiverName, "
                                       "Team) VALUES (?, ?, ?, ?)"));
    for (const Diver &d : NamedDivers)
        diver.run({QString(MeetID), d.regId, QString::fromUtf8(d.name), QString::fromUtf8(d.team)});
    Statement dive(db, QStringLiteral("INSERT INTO tblDiveSheets (MeetID, EventID, RegID, "
                                      "DivingOrder, DiveRound, DiveNum, DiveDD) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const EventPlan &plan : Events) {
        event.run({QString(MeetID), QString(plan.id), QString::fromLatin1(plan.name), false,
                   plan.combinedEventID.isEmpty() ? NullText : QString(plan.combinedEventID)});
        // Stored last diver first, last round first: only the queries' ORDER BY sorts them.
        for (int diver = plan.divers - 1; diver >= 0; --diver) {
            const int order = divingOrder(plan, diver);
            const int chooser = plan.quirk == Quirk::Synchro ? order : diver;
            for (int round = plan.firstRound + plan.rounds - 1; round >= plan.firstRound; --round) {
                const Dive &d = plan.pool[(chooser * 3 + round) % plan.pool.size()];
                QVariant number = QString::fromLatin1(d.number);
                QVariant dd = d.dd;
                if (plan.quirk == Quirk::NullDD && diver == 2 && round == 3)
                    dd = NullNumber;
                if (plan.quirk == Quirk::BlankDiveNums && diver == 1 && round == 2)
                    number = QStringLiteral("   ");
                if (plan.quirk == Quirk::BlankDiveNums && diver == 3 && round == 4)
                    number = NullText;
                dive.run({QString(MeetID), QString(plan.id), plan.firstRegID + diver, order, round,
                          number, dd});
            }
        }
    }
}

} // namespace

void fillJudgedDive(cDiveResult &dive, int n) {
    const auto round = qint16(1 + (n - 1) / 12);
    const auto order = qint16(1 + (n - 1) % 12);
    dive.setEventNumberN(12);
    dive.setEventNumberA(QStringLiteral("A"));
    dive.setInsertOrder(QStringLiteral("0"));
    dive.setDiveRound(round);
    dive.setDivingOrder(order);
    dive.setDiveNumber(QStringLiteral("105"));
    dive.setDivePos(QStringLiteral("B"));
    dive.setDiveDD(2.4f);
    dive.setBoardLevel(QStringLiteral("3M"));
    // Awards from 5.0 to 8.5 in half points, in an order that spreads the divers out.
    const float base = 5.0f + 0.5f * float((order * 5) % 8);
    std::array<float, 7> awards = {base,        base + 0.5f, base,       base - 0.5f,
                                   base + 1.0f, base + 0.5f, base - 0.5f};
    const std::array setters = {&cDiveResult::setJ1Score, &cDiveResult::setJ2Score,
                                &cDiveResult::setJ3Score, &cDiveResult::setJ4Score,
                                &cDiveResult::setJ5Score, &cDiveResult::setJ6Score,
                                &cDiveResult::setJ7Score};
    for (std::size_t j = 0; j < awards.size(); ++j)
        (dive.*setters[j])(awards[j]);
    std::sort(awards.begin(), awards.end());
    const float diveTotal = (awards[2] + awards[3] + awards[4]) * 2.4f;
    dive.setDiveTotal(diveTotal);
    dive.setTotalScore(diveTotal * float(round));
}

void write(const QSqlDatabase &db) {
    QSqlDatabase conn = db;
    const bool inTransaction = conn.transaction();
    try {
        writeRows(conn);
    } catch (...) {
        if (inTransaction)
            conn.rollback();
        throw;
    }
    if (inTransaction && !conn.commit())
        throw Error(Error::InvalidArgument, QStringLiteral("Cannot write the sample meet: ") +
                                                conn.lastError().text().simplified());
}

} // namespace Kavvix::SampleMeet
