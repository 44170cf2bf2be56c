#pragma once

#include "acad/AcadApplication.h"

#include <QString>
#include <cstdint>
#include <memory>

// The CAD references every refresh renews. pu_oAcadApp is released only when the user
// declines to start the CAD or the start fails; the CAD itself is never closed.
inline std::shared_ptr<acad::AcadApplication> pu_oAcadApp;
inline std::shared_ptr<acad::AcadDocument> pu_oAcadDoc;
// The CAD's main window (X11 window id), 0 when none was found.
inline std::uint32_t pu_lnAcadHwnd = 0;

// Attaches to the running CAD or, after asking, starts one (through acad::connector()).
//   running CAD found            -> true,  bCancel false, sErrMsg empty
//   not running, user said No    -> true,  bCancel true,  sErrMsg empty, pu_oAcadApp null
//   not running, Yes, started    -> true,  bCancel false, sErrMsg empty, made visible
//   not running, Yes, failed     -> false, bCancel true,  "404 Not Find AutoCAD.Application"
// Never throws.
bool pu_fun_bGetAcadObject(bool& bCancel, QString& sErrMsg);

// pu_oAcadDoc := pu_oAcadApp's active document. Passes errors on (no drawing open, CAD
// gone, or no CAD held at all).
void pu_subGetAcadDocument();
