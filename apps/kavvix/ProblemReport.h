#pragma once

#include <QHash>
#include <QString>
#include <QTextStream>

#include <vector>

namespace KavvixCli {

// The problems a parse meets, one line "<unit> <number>: <message>" each, except that a
// message already shown is not shown again: its repeats are counted and summed up in one line
// at the end, so input that repeats one fault cannot flood the terminal. At most MaxShown
// different messages are shown; the others are counted in one line at the end, so input full
// of different faults cannot flood it either.
class ProblemReport {
public:
    static constexpr qint64 MaxShown = 100;

    ProblemReport(QTextStream &err, QString unit);

    void add(qint64 number, const QString &message);
    // Writes the summary lines of the repeated messages.
    void finish();
    qint64 count() const { return m_count; }

private:
    struct Repeats {
        qint64 first = 0;
        qint64 last = 0;
        qint64 more = 0;
    };

    QTextStream &m_err;
    QString m_unit;
    QHash<QString, qsizetype> m_indexOf;
    std::vector<Repeats> m_repeats; // in the order the messages first came
    qint64 m_count = 0;
    qint64 m_notShown = 0;
};

} // namespace KavvixCli
