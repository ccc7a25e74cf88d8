// One end-to-end case: what to prepare, which export to call with which
// handle, and what the installer, the registry and the started programs must
// show afterwards. Case files (cases/<Family>Cases.cpp) hold tables of these
// and register them with a CaseTable; the engine runs them.
//
// Texts may hold placeholders, resolved by the engine when the case runs:
//   ${dir}             the folder of the driver, with a trailing backslash
//   ${build}           x64 or x86
//   ${property:NAME}   the session's value of NAME before the case sets any
//   ${account:SID}     the name LookupAccountSidW gives for the SID text
//   ${env:NAME}        the driver's environment variable NAME
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Which driver runs a case: the 64-bit one with the x64 DLL, the 32-bit one
// (a WoW64 process) with the x86 DLL, or both.
enum class Builds { Both, X64, X86 };

// Registry view of a fixture. Default is the driver's own view, which is the
// view the DLL of the same build reads by default.
enum class View { Default, Bits32, Bits64, Both };

struct RegistryFixture {
    enum class Kind { Absent, Key, Value, Separate32 };
    Kind kind = Kind::Key;
    View view = View::Default;
    std::wstring key;    // under HKEY_LOCAL_MACHINE
    std::wstring name;   // Value only
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;  // exact bytes of the value
};

// Every key a fixture names belongs to the case: it and everything below it
// are deleted before the case and after it (with the parents the case made).
// Absent: the key does not exist during the case.
RegistryFixture Absent(View view, std::wstring key);
// The key exists, with no values but those of the case's Value fixtures.
RegistryFixture Key(View view, std::wstring key);
// A value with exactly these bytes, in a key of the case's.
RegistryFixture Value(View view, std::wstring key, std::wstring name, std::uint32_t type,
                      std::vector<std::uint8_t> data);
// REG_SZ / REG_EXPAND_SZ of the text and one terminating NUL (a text built
// with an explicit length may hold NULs of its own).
RegistryFixture Sz(View view, std::wstring key, std::wstring name, const std::wstring& text);
RegistryFixture ExpandSz(View view, std::wstring key, std::wstring name, const std::wstring& text);
RegistryFixture Dword(View view, std::wstring key, std::wstring name, std::uint32_t value);
// Makes the 32-bit view of `key` a key of its own for the case. In a Wine
// prefix some keys of the 32-bit view (...\CurrentVersion\Setup) are links to
// the 64-bit key, so values written to one view show in both; the link is
// put back after the case. Keys that are no link are left as they are.
RegistryFixture Separate32(std::wstring key);

// The UTF-16 bytes of a text, without a terminator.
std::vector<std::uint8_t> Utf16Bytes(const std::wstring& text);

struct FileFixture {
    enum class Kind { Recorder, Hidden, Directory };
    Kind kind = Kind::Recorder;
    std::wstring path;  // as the driver sees it: a 32-bit driver's system32 is syswow64
};

// A copy of the recorder program at `path` (missing folders are made); it
// logs every start for the case's expected starts. Removed after the case.
FileFixture Recorder(std::wstring path);
// The file at `path` is moved aside for the case, so a start of it fails.
FileFixture Hidden(std::wstring path);
// A folder that exists during the case (made with missing parents, removed after).
FileFixture Directory(std::wstring path);

struct Property {
    std::wstring name;
    std::wstring value;  // for an expectation, "" means: absent (Windows Installer has no empty property)
};

struct Variable {
    std::wstring name;
    std::wstring value;
};

// Message types as the installer passes them to the UI handler.
inline constexpr std::uint32_t Info = 0x04000000;
inline constexpr std::uint32_t ErrorWithIcon = 0x01000010;
inline constexpr std::uint32_t WarningWithIcon = 0x02000010;

struct Message {
    std::uint32_t type = Info;
    std::wstring text;  // as MsiFormatRecordW shows the record on the session
};

struct Start {
    std::wstring commandLine;  // exactly as the started recorder's GetCommandLineW gives it
    std::wstring program;      // the recorder copy that ran, as its GetModuleFileNameW gives it; "" = not compared
};

// What the action is given instead of a session, for the failure paths.
enum class Handle { Session, Record };

struct Case {
    std::string name = {};
    std::string action = {};                        // the export, looked up by name
    Builds builds = Builds::Both;
    std::string language = {};                      // LC_ALL of the driver process that runs it; "" = the default
    Handle handle = Handle::Session;
    std::vector<Property> properties = {};          // set on the session before the call
    std::vector<RegistryFixture> registry = {};
    std::vector<FileFixture> files = {};
    std::vector<Variable> environment = {};         // set in the driver process for the call
    std::vector<std::wstring> commandsBefore = {};  // run and waited for before the call (exit code 0 expected)
    std::vector<std::wstring> commandsAfter = {};   // run and waited for after the case, whatever happened
    int answer = 1;                                 // what the UI handler answers to every message: 0, 1 or -1
    std::uint32_t recorderExitCode = 0;             // the exit code of every recorder copy
    // Expected:
    std::uint32_t result = 0;
    std::vector<Property> expectProperties = {};
    std::vector<Message> expectMessages = {};       // the whole sequence during the call, in order
    std::vector<Start> expectStarts = {};           // every recorder start during the call, in order
};

// Registers a family's table: `static const e2e::CaseTable cases("Family", {...});`
// The family is the file's name without Cases.cpp: CTest runs one test per file.
class CaseTable {
public:
    CaseTable(const char* family, std::vector<Case> cases);
};

struct Family {
    std::string name;
    std::vector<Case> cases;
};
const std::vector<Family>& RegisteredFamilies();

}  // namespace e2e
