#include <kavvix/cDiveResult.h>

namespace Kavvix {

cDiveResult::cDiveResult(QObject *parent) : QObject(parent) {}

} // namespace Kavvix
