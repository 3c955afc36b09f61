#include "NumericText.h"

#include <kavvix/Error.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace Kavvix::NumericText {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Walks the text's characters with blanks skipped.
class BlankSkippingCursor {
public:
    explicit BlankSkippingCursor(QStringView text) : m_text(text) { skipBlanks(); }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char16_t peek() const { return atEnd() ? u'\0' : m_text[m_pos].unicode(); }
    void advance() {
        ++m_pos;
        skipBlanks();
    }

private:
    void skipBlanks() {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos].unicode()))
            ++m_pos;
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

int radixDigit(char16_t c, int radix) {
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    return d < radix ? d : -1;
}

double radixWholeNumber(BlankSkippingCursor &cursor, int radix) {
    double value = 0;
    for (int d; (d = radixDigit(cursor.peek(), radix)) >= 0; cursor.advance())
        value = value * radix + d;
    if (std::isinf(value))
        throw Error::numericOverflow();
    return value;
}

// The characters of a number for from_chars. Ordinary numbers fit the fixed buffer, so reading
// them allocates nothing; a longer text moves to the heap.
class NumberText {
public:
    void push(char c) {
        if (m_size < m_fixed.size()) {
            m_fixed[m_size++] = c;
            return;
        }
        if (m_long.empty())
            m_long.assign(m_fixed.data(), m_size);
        m_long += c;
        ++m_size;
    }
    const char *begin() const { return m_long.empty() ? m_fixed.data() : m_long.data(); }
    const char *end() const { return begin() + m_size; }

private:
    std::array<char, 64> m_fixed;
    std::string m_long;
    std::size_t m_size = 0;
};

// Collects "[-]digits[.digits][e[-]digits]" for from_chars, which reads it exactly.
double decimalNumber(BlankSkippingCursor &cursor) {
    NumberText number;
    if (cursor.peek() == u'-' || cursor.peek() == u'+') {
        if (cursor.peek() == u'-')
            number.push('-');
        cursor.advance();
    }
    qsizetype mantissaDigits = 0;
    qsizetype leadingIntegerZeros = 0;
    qsizetype integerDigits = 0;
    qsizetype fractionZerosBeforeFirstDigit = 0;
    bool seenNonZero = false;
    bool seenPoint = false;
    for (;; cursor.advance()) {
        const char16_t c = cursor.peek();
        if (isDigit(c)) {
            number.push(static_cast<char>(c));
            ++mantissaDigits;
            if (!seenPoint) {
                ++integerDigits;
                if (c == u'0' && !seenNonZero)
                    ++leadingIntegerZeros;
            } else if (c == u'0' && !seenNonZero) {
                ++fractionZerosBeforeFirstDigit;
            }
            seenNonZero = seenNonZero || c != u'0';
        } else if (c == u'.' && !seenPoint) {
            number.push('.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return 0;

    long long exponent = 0;
    if (cursor.peek() == u'E' || cursor.peek() == u'e') {
        // The exponent counts only when digits follow; "1E" and "1E+" read as 1.
        BlankSkippingCursor ahead = cursor;
        ahead.advance();
        bool negative = false;
        if (ahead.peek() == u'-' || ahead.peek() == u'+') {
            negative = ahead.peek() == u'-';
            ahead.advance();
        }
        if (isDigit(ahead.peek())) {
            for (; isDigit(ahead.peek()); ahead.advance())
                exponent = qMin<long long>(exponent * 10 + (ahead.peek() - u'0'), 1'000'000'000);
            if (negative)
                exponent = -exponent;
            std::array<char, 24> digits;
            const char *digitsEnd =
                std::to_chars(digits.data(), digits.data() + digits.size(), exponent).ptr;
            number.push('e');
            for (const char *d = digits.data(); d != digitsEnd; ++d)
                number.push(*d);
        }
    }

    double value = 0;
    const auto [end, ec] = std::from_chars(number.begin(), number.end(), value);
    Q_UNUSED(end);
    if (ec == std::errc::result_out_of_range) {
        if (!seenNonZero)
            return 0;
        // Decimal magnitude of the first significant digit decides overflow or underflow.
        const long long magnitude =
            integerDigits > leadingIntegerZeros
                ? static_cast<long long>(integerDigits - leadingIntegerZeros) + exponent
                : exponent - static_cast<long long>(fractionZerosBeforeFirstDigit);
        if (magnitude > 0)
            throw Error::numericOverflow();
        return 0;
    }
    return value + 0.0; // folds -0 into 0
}

template <typename Int> Int roundTo(double value) {
    // Halves to the even neighbour, whatever rounding mode the host's thread has set.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0))
        rounded += 1.0;
    if (!(rounded >= std::numeric_limits<Int>::min() && rounded <= std::numeric_limits<Int>::max()))
        throw Error::numericOverflow();
    return static_cast<Int>(rounded);
}

} // namespace

double valueOf(QStringView text) {
    BlankSkippingCursor cursor(text);
    if (cursor.peek() == u'&') {
        BlankSkippingCursor ahead = cursor;
        ahead.advance();
        const char16_t kind = ahead.peek();
        if (kind == u'H' || kind == u'h' || kind == u'O' || kind == u'o') {
            ahead.advance();
            return radixWholeNumber(ahead, (kind == u'H' || kind == u'h') ? 16 : 8);
        }
        return 0;
    }
    return decimalNumber(cursor);
}

qint16 roundToInt16(double value) {
    return roundTo<qint16>(value);
}

qint32 roundToInt32(double value) {
    return roundTo<qint32>(value);
}

float toSingle(double value) {
    // Beyond the largest float by half a unit in the last place the nearest float is infinity,
    // which no score or total may become. (The cast itself would be undefined out of range.)
    constexpr double largest = std::numeric_limits<float>::max();
    const double halfUnit = std::ldexp(1.0, 103);
    if (std::fabs(value) > largest) {
        if (std::fabs(value) >= largest + halfUnit)
            throw Error::numericOverflow();
        return value > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    }
    return static_cast<float>(value);
}

QString plainDecimal(double value) {
    std::array<char, 400> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value + 0.0,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return QString::number(value, 'g', 17);
    return QString::fromLatin1(buffer.data(), end - buffer.data());
}

} // namespace Kavvix::NumericText
