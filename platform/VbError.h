#pragma once

#include <QString>
#include <exception>
#include <string>

namespace platform {

// A failure as the system reports it: a VB-style error number and its description.
// Numbers of the platform's own failures follow VB (53 file not found, 75 path/file
// access error, 76 path not found); automation errors carry the CAD's numbers.
class VbError : public std::exception {
public:
    VbError(qint32 number, QString description)
        : m_number(number), m_description(std::move(description)),
          m_what(m_description.toStdString()) {}

    qint32 number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_description;
    std::string m_what;
};

// Raised by every call into an automation server (the CAD, the spreadsheet).
class AutomationError : public VbError {
public:
    using VbError::VbError;
};

namespace vberr {
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 PathFileAccess = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 DivisionByZero = 11;
inline constexpr qint32 InternalError = 51;
inline constexpr qint32 ObjectNotSet = 91;
inline constexpr qint32 CannotCreateObject = 429;
inline constexpr qint32 InvalidPicture = 481;
// A drop-down list's Text can only be one of its items.
inline constexpr qint32 PropertyReadOnly = 383;
// A value a property does not take, such as a scroll position outside the bar's range.
inline constexpr qint32 InvalidPropertyValue = 380;
// Adding a control under a name the form has, and finding one it has not.
inline constexpr qint32 ControlNameTaken = 727;
inline constexpr qint32 ControlNotFound = 730;
} // namespace vberr

} // namespace platform
