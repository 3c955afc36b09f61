#include <kavvix/kavvix.h>

namespace Kavvix {

namespace {

const QString UploadForm = QStringLiteral("Kavvix.cDakUploadForm");

} // namespace

QObject *createObject(const QString &progId, QObject *parent) {
    if (progId == UploadForm)
        return new cDakUploadForm(parent);
    return Core::createObject(progId, parent);
}

QStringList creatableNames() {
    return Core::creatableNames() << UploadForm;
}

} // namespace Kavvix
