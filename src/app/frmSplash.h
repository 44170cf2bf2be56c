#pragma once

#include <QString>

// The small always-on-top status window shown while long operations run. It never
// updates itself: its text changes only when the caller shows a new message, and it
// repaints only when the caller lets window messages run.
namespace frmSplash {

void pu_subShow(const QString& sMsg);
// Unload frmSplash: the operation that showed the window closes it.
void Unload();

// For tests and callers that need to know what is on screen.
bool isLoaded();
QString message();

} // namespace frmSplash
