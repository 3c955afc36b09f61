#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

namespace Kavvix {

// What a mirror tells its pages about the consoles' lines: one line state for them all, as
// the pages of a service with one console know it. The line is up only while every running
// console's line is up; when one is down, the state is that one's (its since, its version).
class MirrorConsoles {
public:
    // The consoles as the meet database lists them; those not running are left out.
    void reset(const QJsonArray &consoles);
    // A console message one of them published (it names itself in consoleName).
    void apply(const QJsonObject &message);
    // {"open", "since", "answering", "version", "versionCurrent"}.
    QJsonObject combined() const;

private:
    QMap<QString, QJsonObject> m_lines;
    QDateTime m_started = QDateTime::currentDateTimeUtc();
};

} // namespace Kavvix
