#include <kavvix/cUtility.h>

#include "FileLogUtility.h"
#include "NumericText.h"

#include <QMetaType>

#include <mutex>

namespace Kavvix {

namespace {

// The factory may be replaced from any thread; each creation works on its own copy, so a
// factory that replaces itself, or another thread doing so, cannot pull it from under a call.
std::mutex g_factoryMutex;
UtilityFactory g_factory;

bool holdsNumber(const QVariant &value) {
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

double numberOf(const QVariant &value) {
    if (value.isNull())
        return 0;
    if (holdsNumber(value))
        return value.toDouble();
    return NumericText::valueOf(value.toString());
}

} // namespace

cUtility::~cUtility() = default;

float cUtility::ToSingle(const QVariant &value) {
    return NumericText::toSingle(numberOf(value));
}

qint16 cUtility::ToInteger(const QVariant &value) {
    return NumericText::roundToInt16(numberOf(value));
}

QString cUtility::ToText(const QVariant &value) {
    if (value.isNull())
        return QString();
    return value.toString();
}

void setUtilityFactory(UtilityFactory factory) {
    const std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

std::unique_ptr<cUtility> createUtility() {
    UtilityFactory factory;
    {
        const std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    if (factory) {
        if (std::unique_ptr<cUtility> utility = factory())
            return utility;
    }
    // No factory, or one that produced nothing: the default writer keeps the log working.
    return std::make_unique<FileLogUtility>();
}

QString visibleText(const QString &text) {
    return FileLogUtility::visible(text);
}

} // namespace Kavvix
