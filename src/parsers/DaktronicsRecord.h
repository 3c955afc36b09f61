#pragma once

#include <QtGlobal>

#include <array>

// Layout of the 590-character score record that Daktronics score-data packets carry in pieces.
namespace Kavvix::Parsers {

struct RecordField {
    enum Target : quint8 {
        NotStored,
        DiverNumber,
        PrimaryDiver,
        CurrentTotal,
        DiveNumber,
        DivePosition,
        DiveDD,
        JudgeScore,
        DiveTotal,
        CurrentRound,
    };

    qint16 position = 0; // 1-based record position of the field's first character
    qint16 width = 0;
    Target target = NotStored;
    qint8 judge = 0; // 0-based judge index of a JudgeScore field
};

inline constexpr qint16 RecordLength = 590;
inline constexpr int RecordFieldCount = 61;

namespace detail {

// Every field starts where the previous one ends, so the widths alone place them.
constexpr std::array<RecordField, RecordFieldCount> buildRecordLayout() {
    std::array<RecordField, RecordFieldCount> fields{};
    int count = 0;
    qint16 position = 1;
    auto add = [&](qint16 width, RecordField::Target target, qint8 judge = 0) {
        fields[count++] = RecordField{position, width, target, judge};
        position += width;
    };
    add(2, RecordField::DiverNumber);
    add(20, RecordField::PrimaryDiver);
    add(15, RecordField::NotStored);
    add(6, RecordField::CurrentTotal);
    add(4, RecordField::DiveNumber);
    add(30, RecordField::NotStored);
    add(1, RecordField::DivePosition);
    add(3, RecordField::DiveDD);
    for (qint8 judge = 0; judge < 9; ++judge)
        add(4, RecordField::JudgeScore, judge);
    add(6, RecordField::DiveTotal);
    // Ten blocks of 43 characters (another competitor's number, name, team, total).
    for (int block = 0; block < 10; ++block) {
        add(2, RecordField::NotStored);
        add(20, RecordField::NotStored);
        add(15, RecordField::NotStored);
        add(6, RecordField::NotStored);
    }
    add(26, RecordField::NotStored);
    add(9, RecordField::NotStored);
    add(2, RecordField::CurrentRound);
    return fields;
}

inline constexpr std::array<RecordField, RecordFieldCount> RecordLayout = buildRecordLayout();
static_assert(RecordLayout.back().position + RecordLayout.back().width - 1 == RecordLength);

// Index into RecordLayout of the field that starts at each record position; -1 for none.
constexpr std::array<qint8, RecordLength + 1> buildFieldIndex() {
    std::array<qint8, RecordLength + 1> index{};
    for (qint8 &i : index)
        i = -1;
    for (int i = 0; i < RecordFieldCount; ++i)
        index[RecordLayout[i].position] = static_cast<qint8>(i);
    return index;
}

inline constexpr std::array<qint8, RecordLength + 1> FieldIndex = buildFieldIndex();

} // namespace detail

// The field that starts at a record position; nullptr where none starts.
constexpr const RecordField *recordFieldAt(qint32 position) {
    if (position < 1 || position > RecordLength)
        return nullptr;
    const qint8 i = detail::FieldIndex[position];
    return i < 0 ? nullptr : &detail::RecordLayout[i];
}

} // namespace Kavvix::Parsers
