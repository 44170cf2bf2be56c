#pragma once

#include <QString>

namespace platform {

// The program folder F: where tarnix lives, and where TARNIX.dvb, TARNIX.ini and the
// LAYER work folder are. Tests point it at a scratch folder.
QString programFolder();
void setProgramFolderForTesting(const QString& folder);

} // namespace platform
