#include <kavvix/core.h>

namespace Kavvix::Core {

namespace {

template <typename T> QObject *make(QObject *parent) {
    return new T(parent);
}

struct Creatable {
    const char *progId;
    QObject *(*create)(QObject *parent);
};

// The core's public classes by creation name.
constexpr Creatable creatables[] = {
    {"Kavvix.clsColoradoData", &make<clsColoradoData>},
    {"Kavvix.clsDaktronicsData", &make<clsDaktronicsData>},
    {"Kavvix.cDakProcessor", &make<cDakProcessor>},
    {"Kavvix.cDakResponse", &make<cDakResponse>},
    {"Kavvix.cDiveResult", &make<cDiveResult>},
};

} // namespace

QObject *createObject(const QString &progId, QObject *parent) {
    for (const Creatable &c : creatables)
        if (progId == QLatin1String(c.progId))
            return c.create(parent);
    return nullptr;
}

QStringList creatableNames() {
    QStringList names;
    for (const Creatable &c : creatables)
        names << QString::fromLatin1(c.progId);
    return names;
}

} // namespace Kavvix::Core
