#include <kavvix/PortList.h>
#include <kavvix/PortTable.h>

#include <QComboBox>

namespace Kavvix::modKavvix {

void FillPortList(QComboBox *combo) {
    combo->clear();
    for (qint16 n = FirstPortNumber; n <= LastPortNumber; ++n) {
        if (!PortAvailable(n))
            continue;
        combo->addItem(QStringLiteral("COM %1").arg(n), int(n));
        combo->setItemData(combo->count() - 1, PortDevice(n), Qt::ToolTipRole);
    }
    if (combo->count() > 0)
        combo->setCurrentIndex(0);
}

} // namespace Kavvix::modKavvix
