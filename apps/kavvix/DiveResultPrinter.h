#pragma once

#include <QJsonObject>
#include <QString>

namespace Kavvix {
class cDiveResult;
}

namespace KavvixCli {

// A judged dive as one line for people, or as a JSON object with every property.
class DiveResultPrinter {
public:
    static QString line(const Kavvix::cDiveResult &result);
    static QJsonObject toJson(const Kavvix::cDiveResult &result);
};

} // namespace KavvixCli
