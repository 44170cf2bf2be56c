#pragma once

// Where the host's automation objects live on the session bus. The viewer calls them,
// the host serves them, and both must agree to the letter.
//
// The interface names also appear as Q_CLASSINFO strings on the host's bus objects,
// which moc wants as literals; the viewer's tests against the real host would fail
// if the two ever parted.
namespace acadbus {

inline constexpr const char* kServiceName = "AutoCAD.Application";
inline constexpr const char* kApplicationPath = "/Application";
inline constexpr const char* kApplicationInterface = "AutoCAD.Application";
inline constexpr const char* kDocumentInterface = "AutoCAD.Document";
// The error every failed automation call answers with.
inline constexpr const char* kErrorName = "AutoCAD.Error";

} // namespace acadbus
