#pragma once

// Everything a host without widgets needs (Kavvix::Core): the public classes but the upload
// dialog, the jobs, the shared module and object creation by name. It loads no widget or GUI
// library; <kavvix/kavvix.h> (Kavvix::Kavvix) adds the upload dialog.
#include <kavvix/ConnectionTestJob.h>
#include <kavvix/ConsoleJob.h>
#include <kavvix/ConsoleLine.h>
#include <kavvix/ConsoleReader.h>
#include <kavvix/Error.h>
#include <kavvix/JobResult.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/ScoreSetObject.h>
#include <kavvix/UploadJob.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/cUtility.h>
#include <kavvix/clsColoradoData.h>
#include <kavvix/clsDaktronicsData.h>
#include <kavvix/comPort.h>
#include <kavvix/export.h>
#include <kavvix/modKavvix.h>
#include <kavvix/version.h>

#include <QObject>
#include <QString>
#include <QStringList>

namespace Kavvix::Core {

// Creates a public class of the core from its creation name, "Kavvix." + class name
// ("Kavvix.clsColoradoData", ...): every one but "Kavvix.cDakUploadForm", which
// Kavvix::createObject adds. nullptr for any other name.
KAVVIX_EXPORT QObject *createObject(const QString &progId, QObject *parent = nullptr);

// The creation names Core::createObject knows, in a fixed order.
KAVVIX_EXPORT QStringList creatableNames();

} // namespace Kavvix::Core

namespace Kavvix {

// The library's version, "1.6.0.0": the one the CMake package, pkg-config, the tool, the C
// interface and the Python module report. The classes' DLLVersion gives its first three
// numbers.
KAVVIX_EXPORT QString libraryVersion();

} // namespace Kavvix
