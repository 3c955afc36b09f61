#include <kavvix/modKavvix.h>
#include <kavvix/version.h>

namespace Kavvix::modKavvix {

QString DLLVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(KAVVIX_VERSION_MAJOR)
        .arg(KAVVIX_VERSION_MINOR)
        .arg(KAVVIX_VERSION_REVISION);
}

qint32 LastPositionOf(const QString &sChar, const QString &sText) {
    if (sChar.size() != 1 || sText.isEmpty())
        return 0; // only a single character can equal a one-character text
    // lastIndexOf gives a 0-based index or -1; +1 turns both into the 1-based result.
    return static_cast<qint32>(sText.lastIndexOf(sChar.at(0)) + 1);
}

} // namespace Kavvix::modKavvix
