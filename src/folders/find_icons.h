// The find dialog's image list: one plain icon per look-for kind, by the kind's icon key
// (PATIENTS, DOCTORS, INSURANCE_CARRIERS, ...). Drawn here, so the program carries no image
// files: a rounded tile in the kind's colour with a short mark.
#pragma once

#include <QIcon>
#include <string>

namespace folders {

// The icon of a key; a null icon for a key the list does not have.
QIcon FindIcon(const std::string& key);

}  // namespace folders
