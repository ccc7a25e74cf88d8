#include "ActionEntry.h"

#include "SessionServices.h"

#include <new>
#include <stdexcept>

namespace ca {

std::int32_t ReportFunctionError(win::MsiHandle install, const char16_t* reportName,
                                 std::int32_t number) noexcept {
    try {
        const Text message = FormatText(u"Error in function %s: %d", {reportName, number});
        return ShowInstallerMessage(install, message, win::InstallMessageError | win::MbIconError);
    } catch (...) {
        // Not even the report could be made: the action's 1603 is all that is left.
        return 0;
    }
}

std::uint32_t CurrentFailureNumber() noexcept {
    try {
        throw;
    } catch (const ActionErrorCode& error) {
        return error.Number();
    } catch (const StringFacilityFailure& failure) {
        return failure.Number();
    } catch (const std::bad_alloc&) {
        return win::ErrorNotEnoughMemory;
    } catch (const std::length_error&) {
        return win::ErrorNotEnoughMemory;
    } catch (...) {
        return win::ErrorInstallFailure;
    }
}

}  // namespace ca
