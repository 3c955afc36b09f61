#include "ProblemReport.h"

namespace KavvixCli {

ProblemReport::ProblemReport(QTextStream &err, QString unit)
    : m_err(err), m_unit(std::move(unit)) {}

void ProblemReport::add(qint64 number, const QString &message) {
    ++m_count;
    if (const auto known = m_indexOf.constFind(message); known != m_indexOf.cend()) {
        Repeats &repeats = m_repeats[*known];
        ++repeats.more;
        repeats.last = number;
        return;
    }
    if (qint64(m_repeats.size()) >= MaxShown) {
        ++m_notShown;
        return;
    }
    m_err << m_unit << ' ' << number << ": " << message << '\n';
    m_indexOf.insert(message, qsizetype(m_repeats.size()));
    m_repeats.push_back({number, number, 0});
}

void ProblemReport::finish() {
    for (const Repeats &repeats : m_repeats)
        if (repeats.more > 0)
            m_err << m_unit << ' ' << repeats.first << ": the same message " << repeats.more
                  << " more " << (repeats.more == 1 ? "time" : "times") << ", the last in "
                  << m_unit << ' ' << repeats.last << '\n';
    if (m_notShown > 0)
        m_err << m_notShown << " more " << (m_notShown == 1 ? "problem" : "problems")
              << " with other messages not shown (" << m_count << " in all)\n";
}

} // namespace KavvixCli
