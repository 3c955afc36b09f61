#include <kavvix/clsColoradoData.h>

#include "ParserText.h"
#include "ScoreSet.h"
#include "common/NumericText.h"
#include "common/ReusedText.h"
#include "common/TextPosition.h"

#include <kavvix/Error.h>
#include <kavvix/modKavvix.h>

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>

namespace Kavvix {

namespace {

using Parsers::positionOf;
using Parsers::ScoreSet;
using Parsers::toFloat;
using Parsers::toInt16;

constexpr QStringView FrameMarker = modKavvix::ColoradoFrameMarker;
constexpr QStringView MarkerFormTerminator = u"\\\\";
constexpr qsizetype ItemsNeeded = 18;
// The item count is a 16-bit number: a record may have at most 32768 items (0 to 32767).
constexpr qsizetype MostItems = qsizetype(std::numeric_limits<qint16>::max()) + 1;

// 1-based position of the frame marker, 0 without one. Looks for its first character and then
// compares, which costs less than a general substring search on short console text.
qsizetype markerPosition(QStringView text) {
    const QChar first = FrameMarker.front();
    for (qsizetype at = positionOf(text, first); at; at = positionOf(text, first, at + 1))
        if (textAt(text, at, FrameMarker.size()) == FrameMarker)
            return at;
    return 0;
}

// The record of the console text; nullopt when the text holds no record, an empty view for a
// frame whose record is empty. The marker form wins over the control-character form.
std::optional<QStringView> findRecord(QStringView text) {
    if (const qsizetype marker = markerPosition(text)) {
        const qsizetype start = marker + FrameMarker.size();
        const qsizetype terminator = positionOf(text, MarkerFormTerminator, start);
        return terminator > start ? textAt(text, start, terminator - start) : QStringView();
    }
    const qsizetype stx = positionOf(text, QChar(modKavvix::STX));
    if (!stx)
        return std::nullopt;
    // The characters right after STX and right before EOT are framing, not record.
    const qsizetype start = stx + 2;
    const qsizetype eot = positionOf(text, QChar(modKavvix::EOT), start);
    return eot > start ? textAt(text, start, eot - 1 - start) : QStringView();
}

// The record cut at every separator: how many items it has (an empty record none; empty items
// count) and where its first 18 lie.
class Items {
public:
    // Four characters at a time: a branch per character (separators stand at no predictable
    // place) or a count carried from one character to the next costs more than the rest of the
    // parse. Separator slots past the count are never read, so they are not cleared.
    Items(QStringView record, QChar separator) : m_record(record) {
        if (record.isEmpty())
            return;
        const char16_t *text = record.utf16();
        const qsizetype size = record.size();
        constexpr quint64 Lanes = 0x0001000100010001;
        constexpr quint64 LowBits = 0x7FFF * Lanes;
        constexpr quint64 HighBit = 0x8000 * Lanes;
        const quint64 separators = separator.unicode() * Lanes;
        qsizetype at = 0;
        for (; at + 4 <= size; at += 4) {
            // A lane of v is 0 where the separator stands; the high bit of each lane of
            // matches says so (without a carry from one lane into the next).
            const quint64 v = qFromLittleEndian<quint64>(text + at) ^ separators;
            for (quint64 matches = ~(((v & LowBits) + LowBits) | v) & HighBit; matches;
                 matches &= matches - 1)
                addSeparator(text + at + std::countr_zero(matches) / 16);
        }
        for (; at < size; ++at)
            if (text[at] == separator.unicode())
                addSeparator(text + at);
        ++m_count; // the item after the last separator
    }

    qsizetype count() const { return m_count; }
    // Item n, for n below both the count and 18.
    QStringView operator[](qsizetype n) const {
        const QChar *begin = n == 0 ? m_record.begin() : m_separators[n - 1] + 1;
        const QChar *end = n == m_count - 1 ? m_record.end() : m_separators[n];
        return QStringView(begin, end);
    }

private:
    void addSeparator(const char16_t *at) {
        if (m_count < ItemsNeeded)
            m_separators[m_count] = reinterpret_cast<const QChar *>(at);
        ++m_count;
    }

    QStringView m_record;
    qsizetype m_count = 0;
    std::array<const QChar *, ItemsNeeded> m_separators; // the first 18
};

// 1-based position of the first c in an item, 0 without one. Items are a few characters long:
// a plain scan costs less than a call to the general search.
qsizetype positionInItem(QStringView item, char16_t c) {
    const QChar *found = std::find(item.begin(), item.end(), QChar(c));
    return found == item.end() ? 0 : found - item.begin() + 1;
}

// The texts of the last record: the new ones reuse their memory when no one else holds it.
struct LastTexts {
    QString primaryDiver;
    QString synchroPartner;
    QString diveNumber;
};

// Item 0: "primary/partner", cut at the first slash; nothing is trimmed.
void SplitDiverNames(ScoreSet &scores, QStringView item, LastTexts &last) {
    const qsizetype slash = positionInItem(item, u'/');
    if (!slash) {
        scores.PrimaryDiver = reusedText(std::move(last.primaryDiver), item);
        return;
    }
    scores.PrimaryDiver = reusedText(std::move(last.primaryDiver), textAt(item, 1, slash - 1));
    scores.SynchroPartner =
        reusedText(std::move(last.synchroPartner), textAt(item, slash + 1, item.size()));
}

// Item 3: the number in plain decimal, then the position letter that follows the first "[".
// An item without "[" (or ending right after it) gives the number alone.
QString BuildDiveNumber(QStringView item, LastTexts &last) {
    const qsizetype bracket = positionInItem(item, u'[');
    return NumericText::plainDecimal(NumericText::valueOf(item),
                                     bracket ? textAt(item, bracket + 1, 1) : QStringView(),
                                     std::move(last.diveNumber));
}

// Stores the first 18 items in item order, so that a failure leaves the earlier ones stored.
void storeItems(ScoreSet &scores, const Items &item, LastTexts &last) {
    SplitDiverNames(scores, item[0], last);
    scores.DiverNumber = toInt16(item[1]);
    scores.CurrentRound = toInt16(item[2]);
    scores.DiveNumber = BuildDiveNumber(item[3], last);
    scores.DiveDD = toFloat(item[4]);
    for (int judge = 0; judge < ScoreSet::JudgeCount; ++judge)
        scores.JudgeScore[judge] = toFloat(item[5 + judge]);
    scores.DiveTotal = toFloat(item[15]);
    scores.StartingScore = toFloat(item[16]);
    scores.CurrentTotal = toFloat(item[17]);
}

QString notEnoughInformation(qsizetype itemCount, const QString &dataReceived) {
    return QStringLiteral("Not enough information received. Only ") + QString::number(itemCount) +
           QStringLiteral(" items of data were pulled from the COM port. The data received was <") +
           dataReceived + QStringLiteral(">.");
}

} // namespace

clsColoradoData::clsColoradoData(QObject *parent) : ScoreSetObject(parent) {}

QString clsColoradoData::ParseData(const QString &StringFromColorado) {
    ScoreSet &s = scores();
    LastTexts last{std::move(s.PrimaryDiver), std::move(s.SynchroPartner), std::move(s.DiveNumber)};
    s.clearKeepingPosition();
    try {
        const std::optional<QStringView> record = findRecord(StringFromColorado);
        if (!record)
            return QString();

        const QChar separator = record->contains(u',') ? u',' : u'\\';
        const Items items(*record, separator);
        if (items.count() > MostItems)
            throw Error::numericOverflow(QStringLiteral("more than 32768 items in the record"));
        if (items.count() < ItemsNeeded)
            return notEnoughInformation(items.count(), StringFromColorado);
        storeItems(s, items, last);
        scores().DataIsValid = true;
        return QString();
    } catch (const Error &error) {
        scores().DataIsValid = false;
        return Parsers::internalErrorMessage(StringFromColorado, error);
    }
}

} // namespace Kavvix
