// The shape shared by every exported action: a body whose failures are caught
// once, at the edge, reported to the installer and turned into 1603.
#pragma once

#include "Platform.h"
#include "Text.h"

#include <cstdint>
#include <exception>

// Exported actions: undecorated C names, the platform's standard calling
// convention (stdcall on 32-bit Windows), one installation handle, a UINT.
#if defined(_WIN32) && !defined(_WIN64)
#define CA_CALLING_CONVENTION __stdcall
#else
#define CA_CALLING_CONVENTION
#endif
#define CA_EXPORT extern "C" std::uint32_t CA_CALLING_CONVENTION

namespace ca {

inline constexpr std::uint32_t ActionSucceeded = win::ErrorSuccess;
inline constexpr std::uint32_t ActionFailed = win::ErrorInstallFailure;

// The action error: one Win32 error number.
class ActionErrorCode {
public:
    explicit ActionErrorCode(std::uint32_t number) noexcept : number_(number) {}
    std::uint32_t Number() const noexcept { return number_; }

private:
    std::uint32_t number_;
};

// A failure of the string facilities that is not running out of memory: a
// string-table entry that cannot be loaded for formatting.
class StringFacilityFailure : public std::exception {
public:
    explicit StringFacilityFailure(std::uint32_t number) noexcept : number_(number) {}
    std::uint32_t Number() const noexcept { return number_; }
    const char* what() const noexcept override { return "string resource not loadable"; }

private:
    std::uint32_t number_;
};

// Shows "Error in function <name>: <number>" as an error message with the
// error icon; when the installer takes no action on it, the text goes into
// MESSAGE. Returns the installer's answer, or 0 when nothing could be shown.
std::int32_t ReportFunctionError(win::MsiHandle install, const char16_t* reportName,
                                 std::int32_t number) noexcept;

// What becomes of a failure other than an ActionErrorCode at the edge.
enum class OtherFailures {
    Report,       // reported like an action error, with the failure's number
    EndSilently,  // the action ends with 1603 and shows nothing
};

// The Win32 number that stands for the failure being handled in a catch block.
std::uint32_t CurrentFailureNumber() noexcept;

template <class Body>
std::uint32_t CustomActionEntry(win::MsiHandle install, const char16_t* reportName,
                                OtherFailures otherFailures, Body&& body) noexcept {
    try {
        return body();
    } catch (const ActionErrorCode& error) {
        ReportFunctionError(install, reportName, static_cast<std::int32_t>(error.Number()));
    } catch (...) {
        if (otherFailures == OtherFailures::Report)
            ReportFunctionError(install, reportName,
                                static_cast<std::int32_t>(CurrentFailureNumber()));
    }
    return ActionFailed;
}

}  // namespace ca
