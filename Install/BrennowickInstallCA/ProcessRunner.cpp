#include "ProcessRunner.h"

#include "ActionEntry.h"
#include "Owners.h"
#include "Platform.h"

namespace ca {
namespace {

bool IsEnclosedInQuotationMarks(TextView text) noexcept {
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
}

}  // namespace

Text CommandLineOf(const char16_t* program, const char16_t* arguments) {
    const TextView programPart = program ? TextView(program) : TextView();
    const TextView argumentPart = arguments ? TextView(arguments) : TextView();
    Text commandLine;
    if (programPart.find(u' ') != TextView::npos && !IsEnclosedInQuotationMarks(programPart)) {
        commandLine.reserve(programPart.size() + argumentPart.size() + 3);
        commandLine += u'"';
        commandLine += programPart;
        commandLine += u'"';
    } else {
        commandLine.reserve(programPart.size() + argumentPart.size() + 1);
        commandLine += programPart;
    }
    if (!commandLine.empty()) commandLine += u' ';
    commandLine += argumentPart;
    return commandLine;
}

std::uint32_t RunCommandLine(const char16_t* program, const char16_t* arguments,
                             std::uint32_t flags) {
    // Our own writable copy: CreateProcessW may write into the buffer.
    Text commandLine = CommandLineOf(program, arguments);
    win::StartupInfo startup;
    startup.flags = win::StartfUseShowWindow;
    startup.showWindow = win::SwShow;
    win::ProcessInformation started{};
    const bool ok = win::CreateProcessW(nullptr, commandLine.data(), false, 0, nullptr, nullptr,
                                        startup, &started);
    // The error of the start, before any other call can replace it.
    const std::uint32_t result = ok ? win::ErrorSuccess : win::GetLastError();
    const UniqueHandle thread(started.thread);
    const UniqueHandle process(started.process);  // closed first, then the thread
    if (process && (flags & WaitUntilEnded) != 0) win::WaitForSingleObject(process.get(), win::Infinite);
    return result;
}

void RequireNoQuotationMark(TextView input) {
    if (input.find(u'"') != TextView::npos) throw ActionErrorCode(win::ErrorInvalidName);
}

}  // namespace ca
