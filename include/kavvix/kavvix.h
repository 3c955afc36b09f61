#pragma once

// Everything a host needs: the public classes, the shared module and object creation by name.
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
#include <kavvix/cDakUploadForm.h>
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

namespace Kavvix {

// Creates a public class from its creation name, "Kavvix." + class name
// ("Kavvix.clsColoradoData", ...). nullptr for an unknown name.
KAVVIX_EXPORT QObject *createObject(const QString &progId, QObject *parent = nullptr);

// The creation names createObject knows, in a fixed order.
KAVVIX_EXPORT QStringList creatableNames();

} // namespace Kavvix
