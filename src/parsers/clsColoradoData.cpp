#include <kavvix/clsColoradoData.h>

#include "ParserText.h"
#include "ScoreSet.h"
#include "common/NumericText.h"
#include "common/TextPosition.h"

#include <kavvix/Error.h>
#include <kavvix/modKavvix.h>

#include <array>
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

// The record cut at every separator: its first 18 items and how many there are in all. An empty
// record has no items; empty items count.
struct Items {
    std::array<QStringView, ItemsNeeded> first;
    qsizetype count = 0;
};

Items cutIntoItems(QStringView record, QChar separator) {
    Items items;
    if (record.isEmpty())
        return items;
    const QChar *start = record.begin();
    const auto endItem = [&](const QChar *end) {
        if (items.count < ItemsNeeded)
            items.first[items.count] = QStringView(start, end);
        ++items.count;
        start = end + 1;
    };
    for (const QChar *c = record.begin(); c != record.end(); ++c)
        if (*c == separator)
            endItem(c);
    endItem(record.end());
    return items;
}

// Item 0: "primary/partner", cut at the first slash; nothing is trimmed.
void SplitDiverNames(ScoreSet &scores, QStringView item) {
    const qsizetype slash = positionOf(item, u'/');
    if (!slash) {
        scores.PrimaryDiver = item.toString();
        return;
    }
    scores.PrimaryDiver = textAt(item, 1, slash - 1).toString();
    scores.SynchroPartner = textAt(item, slash + 1, item.size()).toString();
}

// Item 3: the number in plain decimal, then the position letter that follows the first "[".
// An item without "[" (or ending right after it) gives the number alone.
QString BuildDiveNumber(QStringView item) {
    const qsizetype bracket = positionOf(item, u'[');
    return NumericText::plainDecimal(NumericText::valueOf(item),
                                     bracket ? textAt(item, bracket + 1, 1) : QStringView());
}

// Stores the first 18 items in item order, so that a failure leaves the earlier ones stored.
void storeItems(ScoreSet &scores, const std::array<QStringView, ItemsNeeded> &item) {
    SplitDiverNames(scores, item[0]);
    scores.DiverNumber = toInt16(item[1]);
    scores.CurrentRound = toInt16(item[2]);
    scores.DiveNumber = BuildDiveNumber(item[3]);
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
    scores().clearKeepingPosition();
    try {
        const std::optional<QStringView> record = findRecord(StringFromColorado);
        if (!record)
            return QString();

        const QChar separator = record->contains(u',') ? u',' : u'\\';
        const Items items = cutIntoItems(*record, separator);
        if (items.count > MostItems)
            throw Error::numericOverflow(QStringLiteral("more than 32768 items in the record"));
        if (items.count < ItemsNeeded)
            return notEnoughInformation(items.count, StringFromColorado);
        storeItems(scores(), items.first);
        scores().DataIsValid = true;
        return QString();
    } catch (const Error &error) {
        scores().DataIsValid = false;
        return Parsers::internalErrorMessage(StringFromColorado, error);
    }
}

} // namespace Kavvix
