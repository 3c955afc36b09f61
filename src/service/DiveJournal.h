#pragma once

#include "DiveRecord.h"

#include <QFile>
#include <QList>
#include <QLockFile>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

namespace Kavvix {

// An append-only file of dives the database could not take yet, one JSON object per line.
// append() returns only once the line is on disk, so a dive announced from the journal
// survives a power cut. Each line stands alone: one that is not a whole record (a blank or
// garbled line, NUL bytes a crash left behind) is skipped and reported, and the rest are
// read. A last line cut short by a crash (no newline) is dropped and the file cut back to the
// last newline. A journal has one owner: a lock file beside it keeps a second service out.
// The service appends on one thread while its database thread writes what is pending to the
// database and forgets it: every member may be called from either.
class DiveJournal {
public:
    // Opens (creating it and its folder when missing) and reads what is pending; false with
    // errorText() when the file cannot be used.
    bool open(const QString &path);
    QString path() const;
    bool isOpen() const;

    QList<DiveRecord> pending() const;
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    // How many bytes of a cut-short record were dropped by open().
    qint64 droppedBytes() const { return m_droppedBytes; }
    // One line for each record open() skipped.
    const QStringList &skipped() const { return m_skipped; }

    // Writes the record and flushes it to the disk; false when that fails.
    bool append(const DiveRecord &record);
    // Forgets the oldest count records, once the database holds them; records appended since
    // they were read stay.
    bool forget(qsizetype count);

    QString errorText() const;

private:
    bool fail(const QString &text);
    bool sync();
    bool rewrite(const QList<DiveRecord> &records);

    mutable QMutex m_mutex;
    QFile m_file;
    std::unique_ptr<QLockFile> m_lock;
    QList<DiveRecord> m_pending;
    QStringList m_skipped;
    qint64 m_droppedBytes = 0;
    QString m_errorText;
};

} // namespace Kavvix
