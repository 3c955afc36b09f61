#pragma once

// Everything a Qt host needs (Kavvix::Kavvix): the core, the upload dialog and object creation
// by name of all six public classes.
#include <kavvix/PortList.h>
#include <kavvix/cDakUploadForm.h>
#include <kavvix/core.h>

namespace Kavvix {

// Creates a public class from its creation name, "Kavvix." + class name
// ("Kavvix.clsColoradoData", ..., "Kavvix.cDakUploadForm"). nullptr for an unknown name.
KAVVIX_EXPORT QObject *createObject(const QString &progId, QObject *parent = nullptr);

// The creation names createObject knows, in a fixed order.
KAVVIX_EXPORT QStringList creatableNames();

} // namespace Kavvix
