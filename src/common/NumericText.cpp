#include "NumericText.h"

#include "ReusedText.h"

#include <kavvix/Error.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
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

// The common case read directly: leading blanks, an optional sign, at most 15 digits with at
// most one point, then the end or what cannot continue the number. Of such a number the
// digits are an exact double and so is the power of ten, and one division rounds them exactly
// as from_chars does, in any rounding mode. Anything else (blanks within it, an exponent, a
// radix prefix, more digits) is left to the general reading: nullopt.
std::optional<double> shortDecimal(QStringView text) {
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr qsizetype MostDigits = 15;
    const QChar *c = text.begin();
    const QChar *const end = text.end();
    while (c != end && isBlank(c->unicode()))
        ++c;
    bool negative = false;
    if (c != end && (*c == u'-' || *c == u'+'))
        negative = *c++ == u'-';
    std::uint64_t digits = 0; // wraps past 19 digits, but then the count sends it elsewhere
    const auto readDigits = [&] {
        const QChar *const first = c;
        for (; c != end && isDigit(c->unicode()); ++c)
            digits = digits * 10 + (c->unicode() - u'0');
        return c - first;
    };
    qsizetype digitCount = readDigits();
    qsizetype fractionDigits = 0;
    if (c != end && *c == u'.') {
        ++c;
        fractionDigits = readDigits();
        digitCount += fractionDigits;
    }
    if (digitCount > MostDigits)
        return std::nullopt;
    if (digitCount == 0) // a sign or point alone is 0, unless blanks hide a number behind them
        return c != end && (isBlank(c->unicode()) || *c == u'&') ? std::nullopt
                                                                 : std::optional(0.0);
    // Blanks are skipped inside a number too: only blanks that end the text, or stand before
    // a character that cannot continue the number, end it.
    while (c != end && isBlank(c->unicode()))
        ++c;
    if (c != end && (isDigit(c->unicode()) || *c == u'.' || *c == u'E' || *c == u'e'))
        return std::nullopt;
    double value = double(digits);
    if (fractionDigits > 0) // a division is slow: whole numbers go without
        value /= powersOfTen[fractionDigits];
    return (negative ? -value : value) + 0.0; // folds -0 into 0
}

// Every form of number; kept out of valueOf so that the common case pays nothing for it.
Q_NEVER_INLINE double anyNumber(QStringView text) {
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

} // namespace

double valueOf(QStringView text) {
    if (const std::optional<double> value = shortDecimal(text))
        return *value;
    return anyNumber(text);
}

qint16 roundToInt16(double value) {
    return roundTo<qint16>(value);
}

qint32 roundToInt32(double value) {
    return roundTo<qint32>(value);
}

float nearestSingleBeyondRange(double value) {
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

QString plainDecimal(double value, QStringView suffix, QString storage) {
    std::array<char, 400> buffer;
    const char *end = nullptr;
    // A whole number below 10^15 is its integer's digits; the integer is written faster.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        end = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                            static_cast<long long>(value))
                  .ptr;
    } else {
        const auto [fixedEnd, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                  value + 0.0, std::chars_format::fixed);
        if (ec != std::errc())
            return QString::number(value, 'g', 17).append(suffix);
        end = fixedEnd;
    }
    QString text = resizedText(std::move(storage), qsizetype(end - buffer.data()) + suffix.size());
    QChar *out = text.data();
    for (const char *c = buffer.data(); c != end; ++c)
        *out++ = QLatin1Char(*c);
    std::copy(suffix.begin(), suffix.end(), out);
    return text;
}

} // namespace Kavvix::NumericText
