#pragma once

#include <kavvix/export.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QtGlobal>

// Recordings of what arrived on the console's line, for replaying a meet later.
//
// Format, version 1 (all numbers little-endian):
//   header  the 16 bytes "KAVVIX-REC 0001\n" (the version in four digits)
//   records one per received byte: 8 bytes arrival time (microseconds since 1970-01-01 UTC),
//           then the byte itself
// A record cut short at the end (the recorder was killed) is ignored when reading.
namespace Kavvix::Recording {

inline constexpr char Header[] = "KAVVIX-REC 0001\n";
inline constexpr int HeaderSize = 16;
inline constexpr int RecordSize = 9;

struct Byte {
    qint64 atUs = 0;
    char value = 0;
};

// Appends to a recording; a new or empty file gets the header first.
class KAVVIX_EXPORT Writer {
public:
    // False with errorText() when the file cannot be opened or is not a recording.
    bool open(const QString &path);
    void append(char byte, qint64 atUs);
    void append(char byte); // arrived now
    QString errorText() const { return m_errorText; }

private:
    QFile m_file;
    QString m_errorText;
    qint64 m_startUs = 0;
    QElapsedTimer m_clock; // microsecond steps that the wall clock does not give
};

// Every whole record of a recording; throws nothing. False (with the reason) when the file
// cannot be read or is not a version 1 recording.
KAVVIX_EXPORT bool read(const QString &path, QList<Byte> &bytes, QString &errorText);

} // namespace Kavvix::Recording
