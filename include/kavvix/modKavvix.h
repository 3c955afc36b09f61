#pragma once

#include <kavvix/export.h>

#include <QString>
#include <QtGlobal>

// The shared module: text helpers, the console frame rule and the per-thread log switch.
// The database queries and the serial port probe of this module are declared in
// <kavvix/MeetDatabase.h> and <kavvix/PortTable.h>.
namespace Kavvix::modKavvix {

// Control characters of the console protocols, one character each.
inline constexpr char16_t SOH = 1;
inline constexpr char16_t STX = 2;
inline constexpr char16_t EOT = 4;
inline constexpr char16_t SYN = 22;
inline constexpr char16_t ETB = 23;

// The Colorado console's frame marker: a record in marker form follows it.
inline constexpr QStringView ColoradoFrameMarker = u"W\\0\\101\\";

// Header digit and zero field of every frame the library sends.
inline constexpr char16_t HeaderDigit = u'1';
inline constexpr QStringView ZeroField = u"0000000";

// "major.minor.revision" of the library: "1.6.0".
KAVVIX_EXPORT QString DLLVersion();

// 1-based position of the last occurrence of the one-character text sChar in sText; 0 when
// there is none or either text is empty.
KAVVIX_EXPORT qint32 LastPositionOf(const QString &sChar, const QString &sText);

// Two upper-case hex digits of the 8-bit additive sum of the characters' Latin-1 codes.
KAVVIX_EXPORT QString CalculateChecksum(QStringView text);

// SYN, "1", "0000000", SOH, command, data, EOT, checksum of "1".."EOT", ETB.
KAVVIX_EXPORT QString BuildFrame(const QString &command, const QString &data);

// Diagnostic logging switch; one value per thread, false at start.
KAVVIX_EXPORT bool DebugEnabled();
KAVVIX_EXPORT void setDebugEnabled(bool enabled);

} // namespace Kavvix::modKavvix
