#pragma once

#include <kavvix/export.h>

class QComboBox;

// The upload dialog's port list (in Kavvix::Kavvix, with the dialog).
namespace Kavvix::modKavvix {

// Clears the combo box and adds "COM " + n (item data n, tooltip the device) for every
// available port from 1 to 16 in ascending order; selects the first entry when there is one.
KAVVIX_EXPORT void FillPortList(QComboBox *combo);

} // namespace Kavvix::modKavvix
