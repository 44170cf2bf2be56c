#pragma once

#include "platform/SafeFile.h"
#include "platform/spreadsheet/Spreadsheet.h"

#include <QString>
#include <QStringList>

namespace spreadsheet {

// Writes `workbook` as a standard OOXML workbook (.xlsx): every sheet in order, cell
// values with their types, borders, fitted column widths, pictures embedded as the files
// they were inserted from and anchored in EMU with their border line, text boxes as
// drawing shapes that move with the cells. Whole or nothing: the file is read back as a
// package before it takes its place; on failure no file is left at `path` and `error`
// says why.
bool writeXlsx(const Workbook& workbook, const QString& path, QString* error = nullptr);
// The same, with the system's error number of a refused write (ENOSPC: the disk is full).
bool writeXlsx(const Workbook& workbook, const QString& path, platform::SafeFile::Failure* failure);

// The folders a new workbook may go to, in the order they are tried: $XDG_DOCUMENTS_DIR,
// the documents folder of the user's user-dirs.dirs, the home folder.
QStringList workbookFolderCandidates();
// Where a new workbook goes: the first of those that can be written; empty when none can.
QString workbookFolder();
// A path in `folder` for a workbook called `baseName` that names no existing file:
// "baseName.xlsx", then "baseName (2).xlsx", ... up to " (9999)"; empty when all are
// taken. Characters a file name cannot hold are replaced.
QString unusedWorkbookPath(const QString& folder, const QString& baseName);

} // namespace spreadsheet
