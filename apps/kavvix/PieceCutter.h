#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace KavvixCli {

// Cuts console text, fed in chunks of any size, into pieces that each run from one opener
// (a text that starts a record or packet) to the next, so every record or packet reaches its
// parser on its own. Text before the first opener is dropped. Memory stays bounded by the
// longest piece kept plus one chunk: a piece longer than maxLength is kept only as its first
// maxLength characters and delivered as incomplete.
class PieceCutter {
public:
    struct Piece {
        QString text;
        bool complete = true;
    };
    using Receiver = std::function<void(const Piece &)>;

    PieceCutter(QStringList openers, qsizetype maxLength, Receiver receiver);

    // Adds text; delivers every piece the next opener has ended.
    void feed(QStringView text);
    // The end of the text: delivers the last piece.
    void finish();

private:
    enum class Match { None, Opener, Partial };
    // The first position from m_scan on where an opener starts, or where the text ends with
    // the beginning of one (more text decides); the text's end when neither.
    std::pair<qsizetype, Match> nextOpener() const;
    void deliver(qsizetype end);
    void compact();

    QStringList m_openers;
    qsizetype m_maxLength;
    Receiver m_receiver;
    QString m_buffer;
    qsizetype m_pieceStart = -1; // -1 before the first opener
    qsizetype m_scan = 0;
    bool m_cutShort = false; // the current piece lost its characters past maxLength
};

} // namespace KavvixCli
