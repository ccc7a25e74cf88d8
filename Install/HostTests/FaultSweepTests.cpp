// Every action under every fault the platform can produce: each platform call
// of a clean run fails in turn (in each way that function fails on Windows),
// then each allocation of the library fails in turn. Every run must end in
// the result, report, property writes and commands that the action's rules
// give for that fault, with no handle and no memory left behind.
#include "Actions.h"
#include "SimulatedTest.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// --- The allocation hook: counts the library's allocations and fails one ---
namespace {

struct AllocationHook {
    bool armed = false;              // counting the allocations of one action run
    std::size_t made = 0;            // allocations of the library so far
    std::size_t released = 0;        // releases by the library so far
    std::size_t failAt = 0;          // the allocation that throws (0: none)
    std::size_t callsAtFailure = 0;  // platform calls made when it threw
};
AllocationHook hook;

// The simulated Windows allocates for itself inside platform calls; on
// Windows that is not the library's memory, so it is neither counted nor failed.
bool Counted() noexcept { return hook.armed && !sim::InsidePlatformCall(); }

void* Allocate(std::size_t size) {
    if (Counted() && ++hook.made == hook.failAt) {
        hook.callsAtFailure = sim::Active().callsMade;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

void Release(void* memory) noexcept {
    if (memory != nullptr && Counted()) ++hook.released;
    std::free(memory);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Release(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Release(memory); }

namespace {

using sim::Text;
using sim::View;
using Action = std::uint32_t (*)(win::MsiHandle);
using SetUp = std::function<void(sim::Windows&)>;

constexpr std::uint32_t ErrorWithIcon = win::InstallMessageError | win::MbIconError;
constexpr std::uint32_t WarningWithIcon = win::InstallMessageWarning | win::MbIconError;
constexpr std::uint32_t OutOfMemory = win::ErrorNotEnoughMemory;

constexpr const char16_t* InetStp = u"SOFTWARE\\Microsoft\\InetStp";
constexpr const char16_t* InetStpComponents = u"SOFTWARE\\Microsoft\\InetStp\\Components";
constexpr const char16_t* Subcomponents =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\OC Manager\\Subcomponents";
constexpr const char16_t* AspNet20 = u"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";
constexpr const char16_t* ProductCode = u"{6F1C2B3A-1111-4222-8333-944455556666}";
constexpr std::uint16_t ServiceStartFailedBlock = 4031 / 16 + 1;

// One action in one set-up.
struct SweepCase {
    const char* name;
    Action action;
    const char16_t* reportName;  // under which the action reports its failures
    bool silentOnOtherFailures;  // ends with 1603 and no report on anything but an action error
    bool detection;              // reads the registry, shows nothing, always publishes
    SetUp setUp;
    friend void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.name; }
};

// What a run left behind.
struct Outcome {
    std::uint32_t result = 0;
    std::vector<sim::Message> messages;
    std::vector<sim::PropertyWrite> writes;
    std::vector<Text> commandLines;  // of the processes that started
    std::vector<sim::Call> journal;
    std::size_t openHandles = 0;
    std::string openHandleReport;
};

// An injected platform fault: call `call` of the run fails with `error` (0: the usual one).
struct Fault {
    std::size_t call = 0;
    std::uint32_t error = 0;
};

Outcome RunAction(const SweepCase& c, const SetUp& adjust = {}, Fault fault = {}) {
    sim::Windows w;
    c.setUp(w);
    if (adjust) adjust(w);
    w.failCallNumber = fault.call;
    w.injectedError = fault.error;
    Outcome outcome;
    outcome.result = c.action(sim::Windows::Session);
    outcome.messages = w.messages;
    outcome.writes = w.propertyWrites;
    for (const auto& start : w.starts) outcome.commandLines.push_back(start.commandLine);
    outcome.journal = w.journal;
    outcome.openHandles = w.OpenHandleCount();
    outcome.openHandleReport = w.OpenHandleReport();
    return outcome;
}

Text Widen(const std::string& text) { return Text(text.begin(), text.end()); }

Text Report(const char16_t* name, std::uint32_t number) {
    return u"Error in function " + Text(name) + u": " +
           Widen(std::to_string(static_cast<std::int32_t>(number)));
}

// How many calls of `function` the journal holds before position `end`.
std::size_t CountBefore(const std::vector<sim::Call>& journal, std::size_t end, const std::string& function) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < end && i < journal.size(); ++i) count += journal[i].function == function;
    return count;
}

template <class T>
std::vector<T> Prefix(const std::vector<T>& items, std::size_t count) {
    return std::vector<T>(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(std::min(count, items.size())));
}

template <class T>
std::vector<T> Without(std::vector<T> items, std::size_t index) {
    if (index < items.size()) items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    return items;
}

std::string Show(const std::vector<sim::Message>& messages) {
    std::string shown;
    for (const auto& m : messages) shown += "\n    [" + std::to_string(m.type) + "] " + sim::Narrow(m.field0);
    return shown.empty() ? " none" : shown;
}
std::string Show(const std::vector<sim::PropertyWrite>& writes) {
    std::string shown;
    for (const auto& w : writes) shown += "\n    " + sim::Narrow(w.name) + " = " + sim::Narrow(w.value);
    return shown.empty() ? " none" : shown;
}
std::string Show(const std::vector<Text>& lines) {
    std::string shown;
    for (const auto& line : lines) shown += "\n    " + sim::Narrow(line);
    return shown.empty() ? " none" : shown;
}

bool Equal(const std::vector<sim::Message>& a, const std::vector<sim::Message>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.type == y.type && x.field0 == y.field0;
    });
}
bool Equal(const std::vector<sim::PropertyWrite>& a, const std::vector<sim::PropertyWrite>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.value == y.value;
    });
}

bool HasType(const std::vector<sim::Message>& messages, std::uint32_t type) {
    return std::any_of(messages.begin(), messages.end(), [&](const auto& m) { return m.type == type; });
}

// Collects what a run got wrong.
class Verdict {
public:
    void Result(std::uint32_t actual, std::uint32_t expected) {
        if (actual != expected)
            problems_ << "\n  result " << actual << ", expected " << expected;
    }
    void Messages(const std::vector<sim::Message>& actual, const std::vector<sim::Message>& expected) {
        if (!Equal(actual, expected)) problems_ << "\n  messages:" << Show(actual) << "\n  expected:" << Show(expected);
    }
    void Writes(const std::vector<sim::PropertyWrite>& actual, const std::vector<sim::PropertyWrite>& expected) {
        if (!Equal(actual, expected)) problems_ << "\n  property writes:" << Show(actual) << "\n  expected:" << Show(expected);
    }
    void CommandLines(const std::vector<Text>& actual, const std::vector<Text>& expected) {
        if (actual != expected) problems_ << "\n  commands:" << Show(actual) << "\n  expected:" << Show(expected);
    }
    void Same(const Outcome& actual, const Outcome& expected) {
        Result(actual.result, expected.result);
        Messages(actual.messages, expected.messages);
        Writes(actual.writes, expected.writes);
        CommandLines(actual.commandLines, expected.commandLines);
    }
    void Holds(bool condition, const std::string& what) {
        if (!condition) problems_ << "\n  " << what;
    }
    void Released(const Outcome& outcome) {
        if (outcome.openHandles != 0) problems_ << "\n  left open: " << outcome.openHandleReport;
    }
    std::string Problems() const { return problems_.str(); }

private:
    std::ostringstream problems_;
};

std::vector<sim::Message> OfOtherTypes(const std::vector<sim::Message>& messages, std::uint32_t type) {
    std::vector<sim::Message> kept;
    for (const auto& m : messages)
        if (m.type != type) kept.push_back(m);
    return kept;
}

std::vector<std::uint32_t> Types(const std::vector<sim::Message>& messages) {
    std::vector<std::uint32_t> types;
    for (const auto& m : messages) types.push_back(m.type);
    return types;
}

std::vector<Text> Names(const std::vector<sim::PropertyWrite>& writes) {
    std::vector<Text> names;
    for (const auto& w : writes) names.push_back(w.name);
    return names;
}

// The registry item that the reader at call `at` of a clean journal was
// reading: its key, and its value (empty when only the key is opened).
struct RegistryItem {
    Text key;
    Text value;
};

RegistryItem ReadAt(const std::vector<sim::Call>& journal, std::size_t at) {
    auto isOpen = [&](std::size_t i) {
        return journal[i].function == "RegOpenKeyW" || journal[i].function == "RegOpenKeyExW";
    };
    RegistryItem item;
    std::size_t open = at;
    while (open > 0 && !isOpen(open)) --open;
    item.key = journal[open].argument;
    if (journal[at].function == "RegQueryValueExW") {
        item.value = journal[at].argument;
    } else if (journal[at].function == "ExpandEnvironmentStringsW") {
        for (std::size_t i = at; i > open; --i)
            if (journal[i].function == "RegQueryValueExW") {
                item.value = journal[i].argument;
                break;
            }
    } else {
        for (std::size_t i = at + 1; i < journal.size() && !isOpen(i); ++i)
            if (journal[i].function == "RegQueryValueExW") {
                item.value = journal[i].argument;
                break;
            }
    }
    return item;
}

// A registry where that item is absent, in both views.
SetUp Absent(const RegistryItem& item) {
    return [item](sim::Windows& w) {
        const Text key = sim::Lower(item.key);
        for (auto* tree : {&w.registry32, &w.registry64}) {
            if (item.value.empty()) {
                std::erase_if(tree->keys, [&](const auto& entry) {
                    return entry.first == key || entry.first.rfind(key + u'\\', 0) == 0;
                });
            } else if (const auto found = tree->keys.find(key); found != tree->keys.end()) {
                found->second.erase(sim::Lower(item.value));
            }
        }
    };
}

// Process start number `attempt` (counted from 0) is refused with `error`.
SetUp Refused(std::size_t attempt, std::uint32_t error) {
    return [attempt, error](sim::Windows& w) {
        auto previous = w.startResult;
        auto count = std::make_shared<std::size_t>(0);
        w.startResult = [=](const sim::ProcessStart& start) -> std::uint32_t {
            if ((*count)++ == attempt) return error;
            return previous ? previous(start) : 0;
        };
    };
}

// The ways each platform function fails on Windows. The release functions
// and GetLastError never fail: a failing close would only fake a leak.
const std::map<std::string, std::vector<std::uint32_t>>& FailureWays() {
    static const std::map<std::string, std::vector<std::uint32_t>> ways = {
        {"MsiGetPropertyW", {win::ErrorInvalidHandle, win::ErrorMoreData}},
        {"MsiSetPropertyW", {win::ErrorInvalidHandle}},
        {"MsiCreateRecord", {0}},
        {"MsiRecordSetStringW", {win::ErrorInvalidHandle}},
        {"MsiProcessMessage", {0}},
        {"MsiGetProductInfoW", {win::ErrorUnknownProduct, win::ErrorInvalidParameter}},
        {"RegOpenKeyW", {win::ErrorFileNotFound, win::ErrorAccessDenied}},
        {"RegOpenKeyExW", {win::ErrorFileNotFound, win::ErrorAccessDenied}},
        {"RegQueryValueExW", {win::ErrorFileNotFound, win::ErrorAccessDenied}},
        {"ExpandEnvironmentStringsW", {win::ErrorNotEnoughMemory}},
        {"CreateProcessW", {win::ErrorFileNotFound, win::ErrorAccessDenied}},
        {"WaitForSingleObject", {0}},
        {"AllocateAndInitializeSid", {win::ErrorNotEnoughMemory}},
        {"LookupAccountSidW", {win::ErrorNoneMapped, win::ErrorInsufficientBuffer}},
        {"FindResourceW", {win::ErrorResourceNameNotFound}},
        {"FindResourceExW", {win::ErrorResourceLangNotFound}},
        {"LoadResource", {0}},
        {"LockResource", {0}},
        {"SizeofResource", {0}},
        {"GetStringTypeW", {0}},
        {"MsiCloseHandle", {}},
        {"RegCloseKey", {}},
        {"CloseHandle", {}},
        {"FreeSid", {}},
        {"GetLastError", {}},
    };
    return ways;
}

// The string-table lookup that call `at` belongs to: its block, and whether
// it is the loader's own choice of language (FindResourceW) or the English
// fallback (FindResourceExW).
struct Lookup {
    Text block;
    bool chosen = true;
};
Lookup LookupAt(const std::vector<sim::Call>& journal, std::size_t at) {
    for (std::size_t i = at + 1; i-- > 0;)
        if (journal[i].function == "FindResourceW" || journal[i].function == "FindResourceExW")
            return {journal[i].argument, journal[i].function == "FindResourceW"};
    return {};
}

struct Totals {
    std::set<std::string> actions;
    std::set<std::string> setUps;
    std::size_t platformFaults = 0;
    std::size_t allocationFaults = 0;
    std::size_t failures = 0;
};
Totals totals;

class PrintTotals : public ::testing::Environment {
public:
    void TearDown() override {
        if (totals.setUps.empty()) return;
        std::printf("Fault sweep: %zu actions, %zu set-ups, %zu injected faults (%zu platform calls, "
                    "%zu allocations), %zu failures\n",
                    totals.actions.size(), totals.setUps.size(), totals.platformFaults + totals.allocationFaults,
                    totals.platformFaults, totals.allocationFaults, totals.failures);
    }
};
[[maybe_unused]] const auto* const printTotals = ::testing::AddGlobalTestEnvironment(new PrintTotals);

class FaultSweepTest : public ::testing::TestWithParam<SweepCase> {
protected:
    void SetUp() override {
        clean_ = RunAction(GetParam());
        totals.actions.insert(std::string(GetParam().name).substr(0, std::string(GetParam().name).find('/')));
        totals.setUps.insert(GetParam().name);
        ASSERT_EQ(clean_.openHandles, 0u) << clean_.openHandleReport;
    }

    void Record(const std::string& what, const Verdict& verdict) {
        if (verdict.Problems().empty()) return;
        ++totals.failures;
        ADD_FAILURE() << GetParam().name << ": " << what << verdict.Problems();
    }

    // Where the clean run starts its error report: the calls made before its
    // record is created (none: it made no report).
    std::optional<std::size_t> CleanReportStart() const {
        const auto& journal = clean_.journal;
        for (std::size_t i = 0; i < journal.size(); ++i)
            if (journal[i].function == "MsiProcessMessage" && journal[i].argument.rfind(u"Error in function ", 0) == 0)
                for (std::size_t j = i; j-- > 0;)
                    if (journal[j].function == "MsiCreateRecord") return j;
        return std::nullopt;
    }

    Outcome clean_;
};

// --- Platform faults ---

TEST_P(FaultSweepTest, EveryPlatformCallFailingEndsAsTheRulesSay) {
    const SweepCase& c = GetParam();
    const auto& journal = clean_.journal;
    const auto& ways = FailureWays();
    std::size_t propertyReads = 0;  // MsiGetPropertyW calls so far: each read makes two
    for (std::size_t at = 0; at < journal.size(); ++at) {
        const std::string& function = journal[at].function;
        const auto found = ways.find(function);
        if (found == ways.end()) {
            ++totals.failures;
            ADD_FAILURE() << c.name << ": no rule for a failing " << function;
            continue;
        }
        const bool firstOfRead = function == "MsiGetPropertyW" && propertyReads++ % 2 == 0;
        for (const std::uint32_t error : found->second) {
            ++totals.platformFaults;
            const Fault fault{at + 1, error};
            const Outcome run = RunAction(c, {}, fault);
            const std::size_t messagesBefore = CountBefore(journal, at, "MsiProcessMessage");
            const std::size_t writesBefore = CountBefore(journal, at, "MsiSetPropertyW");
            const std::size_t startsBefore = CountBefore(journal, at, "CreateProcessW");
            Verdict verdict;
            verdict.Released(run);

            auto endsWithReport = [&](const char16_t* name, std::uint32_t reported) {
                // The body stops at the fault: what it did before stays, the report follows.
                verdict.Result(run.result, win::ErrorInstallFailure);
                auto messages = Prefix(clean_.messages, messagesBefore);
                messages.push_back({ErrorWithIcon, Report(name, reported), {}});
                verdict.Messages(run.messages, messages);
                verdict.Writes(run.writes, Prefix(clean_.writes, writesBefore));
                verdict.CommandLines(run.commandLines, Prefix(clean_.commandLines, startsBefore));
            };

            if (function == "MsiGetPropertyW") {
                if (firstOfRead && error == win::ErrorMoreData)
                    verdict.Same(run, clean_);  // the length query answers 234 anyway
                else
                    endsWithReport(c.reportName, error);
            } else if (function == "AllocateAndInitializeSid" || function == "LookupAccountSidW") {
                endsWithReport(u"Lookup Users", error);
            } else if (function == "MsiSetPropertyW") {
                // Nobody reads the answer: only that property is not written.
                Outcome expected = clean_;
                expected.writes = Without(clean_.writes, writesBefore);
                verdict.Same(run, expected);
            } else if (function == "MsiCreateRecord" || function == "MsiProcessMessage") {
                // The line or message is lost, and its MESSAGE fallback with it;
                // nothing else changes.
                Outcome expected = clean_;
                expected.messages = Without(clean_.messages, CountBefore(journal, at, function));
                std::size_t shown = at;
                while (shown < journal.size() && journal[shown].function != "MsiProcessMessage") ++shown;
                for (std::size_t i = shown + 1; i < journal.size() && journal[i].function != "MsiCreateRecord"; ++i)
                    if (journal[i].function == "MsiSetPropertyW" && journal[i].argument == u"MESSAGE")
                        expected.writes = Without(clean_.writes, CountBefore(journal, i, "MsiSetPropertyW"));
                verdict.Same(run, expected);
            } else if (function == "MsiRecordSetStringW") {
                // The message goes out with an empty template; MESSAGE keeps the text itself.
                Outcome expected = clean_;
                expected.messages[CountBefore(journal, at, "MsiProcessMessage")].field0.clear();
                verdict.Same(run, expected);
            } else if (function == "RegOpenKeyW" || function == "RegOpenKeyExW" ||
                       function == "RegQueryValueExW" || function == "ExpandEnvironmentStringsW") {
                // A registry fault reads as an absent item: the answer that follows
                // from it is published, nothing is reported, the result stays 0.
                verdict.Holds(c.detection, "a registry read outside the detection actions");
                verdict.Same(run, RunAction(c, Absent(ReadAt(journal, at))));
                verdict.Result(run.result, win::ErrorSuccess);
            } else if (function == "CreateProcessW") {
                // A tool that cannot start is no failure of the action.
                const std::uint32_t refusal = error != 0 ? error : win::ErrorFileNotFound;
                verdict.Same(run, RunAction(c, Refused(startsBefore, refusal)));
                verdict.Result(run.result, win::ErrorSuccess);
                verdict.Holds(!HasType(run.messages, ErrorWithIcon), "a refused start is reported as an error");
            } else if (function == "WaitForSingleObject") {
                verdict.Same(run, clean_);  // the wait's result is not examined
            } else if (function == "MsiGetProductInfoW") {
                // No install location: an empty INSTALL_PATH, the query's error in the log.
                verdict.Result(run.result, win::ErrorSuccess);
                verdict.Writes(run.writes, {{u"INSTALL_PATH", u""}, {u"GoConfig", u"0"}});
                verdict.Messages(run.messages, {{win::InstallMessageInfo,
                                                 u"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: " +
                                                     Widen(std::to_string(error)),
                                                 {}}});
            } else if (function == "GetStringTypeW") {
                // A character the platform cannot classify is kept, not trimmed.
                verdict.Result(run.result, clean_.result);
                verdict.Messages(OfOtherTypes(run.messages, win::InstallMessageInfo),
                                 OfOtherTypes(clean_.messages, win::InstallMessageInfo));
                verdict.Holds(run.commandLines.size() == clean_.commandLines.size(), "a command was lost");
            } else {
                // A string-table block that cannot be had: the string is missing. Only
                // a lost size leaves room for the English fallback.
                const Lookup lookup = LookupAt(journal, at);
                const bool lost = !(function == "SizeofResource" && lookup.chosen);
                const bool warningLost =
                    lost && lookup.block == Widen(std::to_string(ServiceStartFailedBlock));
                if (warningLost && HasType(clean_.messages, WarningWithIcon)) {
                    // The warning cannot be built: StartRequiredServices ends silently.
                    verdict.Result(run.result, win::ErrorInstallFailure);
                    verdict.Messages(run.messages, Prefix(clean_.messages, messagesBefore));
                    verdict.Writes(run.writes, Prefix(clean_.writes, writesBefore));
                } else {
                    // The texts change with the string; what is shown and written does not.
                    verdict.Result(run.result, clean_.result);
                    verdict.Holds(Types(run.messages) == Types(clean_.messages), "other messages shown");
                    verdict.Holds(Names(run.writes) == Names(clean_.writes), "other properties written");
                }
                verdict.Holds(run.commandLines.size() == clean_.commandLines.size(), "a command was lost");
            }
            std::ostringstream what;
            what << "call " << at + 1 << " " << function << "(" << sim::Narrow(journal[at].argument)
                 << ") failing with " << error;
            Record(what.str(), verdict);
        }
    }
}

// --- Allocation faults ---

TEST_P(FaultSweepTest, EveryAllocationFailingEndsWith1603AndLeaksNothing) {
    const SweepCase& c = GetParam();
    // The allocations of a clean run.
    std::size_t allocations = 0;
    {
        sim::Windows w;
        c.setUp(w);
        hook = AllocationHook{};
        hook.armed = true;
        c.action(sim::Windows::Session);
        hook.armed = false;
        allocations = hook.made;
        ASSERT_EQ(hook.made, hook.released) << "a clean run keeps memory";
    }
    const std::optional<std::size_t> cleanReportStart = CleanReportStart();
    // The account lookups start after the last property that precedes them.
    std::size_t accountsFrom = clean_.journal.size() + 1;
    for (std::size_t i = 0; i < clean_.journal.size(); ++i)
        if (clean_.journal[i].function == "AllocateAndInitializeSid") {
            accountsFrom = CountBefore(clean_.journal, i, "MsiSetPropertyW");
            break;
        }

    for (std::size_t k = 1; k <= allocations; ++k) {
        ++totals.allocationFaults;
        sim::Windows w;
        c.setUp(w);
        hook = AllocationHook{};
        hook.failAt = k;
        hook.armed = true;
        const std::uint32_t result = c.action(sim::Windows::Session);
        hook.armed = false;

        Verdict verdict;
        Outcome run;
        run.openHandles = w.OpenHandleCount();
        run.openHandleReport = w.OpenHandleReport();
        verdict.Released(run);
        const std::size_t kept = hook.made - hook.released - (hook.made >= k ? 1 : 0);
        verdict.Holds(kept == 0, std::to_string(kept) + " allocations not released");
        verdict.Result(result, win::ErrorInstallFailure);

        // What the body did before the allocation failed stays; then at most the report.
        const std::size_t calls = hook.callsAtFailure;
        const std::size_t messagesBefore = CountBefore(clean_.journal, calls, "MsiProcessMessage");
        const auto before = Prefix(clean_.messages, messagesBefore);
        std::vector<sim::Message> reports(w.messages.begin() + static_cast<std::ptrdiff_t>(std::min(messagesBefore, w.messages.size())),
                                          w.messages.end());
        verdict.Messages(Prefix(w.messages, messagesBefore), before);
        verdict.Writes(Prefix(w.propertyWrites, CountBefore(clean_.journal, calls, "MsiSetPropertyW")),
                       Prefix(clean_.writes, CountBefore(clean_.journal, calls, "MsiSetPropertyW")));
        std::vector<Text> started;
        for (const auto& start : w.starts) started.push_back(start.commandLine);
        verdict.CommandLines(started, Prefix(clean_.commandLines, CountBefore(clean_.journal, calls, "CreateProcessW")));

        if (c.silentOnOtherFailures) {
            verdict.Messages(reports, {});
        } else {
            const bool accountBlock = CountBefore(clean_.journal, calls, "MsiSetPropertyW") >= accountsFrom;
            const bool lookupReport = reports.size() == 1 && reports[0].type == ErrorWithIcon &&
                                      reports[0].field0.rfind(u"Error in function Lookup Users: ", 0) == 0;
            // Memory for the report itself can run out: then the 1603 alone remains.
            const bool mayLoseReport = cleanReportStart && calls == *cleanReportStart;
            if (!(accountBlock && lookupReport) && !(mayLoseReport && reports.empty()))
                verdict.Messages(reports, {{ErrorWithIcon, Report(c.reportName, OutOfMemory), {}}});
        }
        Record("allocation " + std::to_string(k) + " of " + std::to_string(allocations) + " failing", verdict);
    }
}

// --- The actions and their set-ups ---

SetUp Properties(std::map<Text, Text> properties) {
    return [properties](sim::Windows& w) {
        for (const auto& [name, value] : properties) w.properties[name] = value;
    };
}

SetUp Then(SetUp first, SetUp second) {
    return [first, second](sim::Windows& w) {
        first(w);
        second(w);
    };
}

SetUp IisVersion(const Text& version, std::uint32_t type = win::RegSz) {
    return [version, type](sim::Windows& w) {
        w.environment[u"MINOR"] = u"5";
        w.SetString(View::Registry32, InetStp, u"VersionString", version, type);
    };
}

SetUp AllComponents() {
    return [](sim::Windows& w) {
        for (const char16_t* name : {u"Metabase", u"WMICompatibility", u"LegacyScripts", u"ASPNET"})
            w.SetDwordBoth(InetStpComponents, name, 1);
        w.SetDwordBoth(Subcomponents, u"iis_common", 1);
        w.SetDwordBoth(Subcomponents, u"iis_www", 1);
        w.SetString(View::Registry32, AspNet20, u"AssemblyVersion", u"2.0.0.0");
    };
}

const SetUp InstallFolders = Properties({{u"ProgramFilesFolder", u"C:\\Program Files (x86)\\"},
                                         {u"WindowsFolder", u"C:\\Windows\\"},
                                         {u"WindowsVolume", u"C:\\"}});

SetUp Removal(const Text& location) {
    return [location](sim::Windows& w) {
        w.properties[u"REMOVE"] = u"ALL";
        w.properties[u"ProductCode"] = ProductCode;
        if (!location.empty()) w.installLocations[ProductCode] = location;
    };
}

SetUp French() {
    return [](sim::Windows& w) { w.uiLanguage = 0x040C; };
}

SetUp NoStart() {
    return [](sim::Windows& w) { w.startResult = [](const sim::ProcessStart&) { return win::ErrorFileNotFound; }; };
}

SetUp Unanswered() {
    return [](sim::Windows& w) { w.answer = [](const sim::Message&) { return 0; }; };
}

const SetUp SecurityInputs = Properties({{u"CustomActionData", u"C:\\Program Files\\App\\|C:\\Windows\\|x"},
                                         {u"IS_OS_64BIT", u"1"},
                                         {u"USERS", u"Users"},
                                         {u"NETWORKSERVICE", u"NETWORK SERVICE"}});
// Fields padded with ideographic spaces, which only the platform classifies.
const SetUp PaddedSecurityInputs = Properties({{u"CustomActionData", u"\u3000C:\\App\u3000|\u3000C:\\Windows\u3000"},
                                               {u"IS_OS_64BIT", u"0"},
                                               {u"USERS", u"Benutzer"},
                                               {u"NETWORKSERVICE", u"NETZWERKDIENST"}});

SweepCase Detection(const char* name, Action action, const char16_t* reportName, SetUp setUp) {
    return {name, action, reportName, false, true, std::move(setUp)};
}
SweepCase Configuration(const char* name, Action action, const char16_t* reportName, SetUp setUp) {
    return {name, action, reportName, false, false, std::move(setUp)};
}

INSTANTIATE_TEST_SUITE_P(
    Actions, FaultSweepTest,
    ::testing::Values(
        Detection("FindIIS/Present", &FindIIS, u"FindIIS", IisVersion(u"Version 7.5")),
        Detection("FindIIS/Absent", &FindIIS, u"FindIIS", [](sim::Windows&) {}),
        Detection("CheckIfIIS7/Text", &CheckIfIIS7, u"CheckIfIIS7", IisVersion(u"Version 7.5")),
        Detection("CheckIfIIS7/Expanded", &CheckIfIIS7, u"CheckIfIIS7", IisVersion(u"Version 7.%MINOR%", win::RegExpandSz)),
        Detection("CheckIISComponents/32-bit", &CheckIISComponents, u"CheckIISComponents",
                  Then(AllComponents(), Properties({{u"IS_OS_64BIT", u"0"}}))),
        Detection("CheckIISComponents/64-bit", &CheckIISComponents, u"CheckIISComponents",
                  Then(AllComponents(), Properties({{u"IS_OS_64BIT", u"1"}}))),
        Detection("CheckIIS7CompatibilityComponents/32-bit", &CheckIIS7CompatibilityComponents,
                  u"CheckIIS7CompatibilityComponents", AllComponents()),
        Detection("CheckIIS7CompatibilityComponents/64-bit", &CheckIIS7CompatibilityComponents,
                  u"CheckIIS7CompatibilityComponents", Then(AllComponents(), Properties({{u"IS_OS_64BIT", u"1"}}))),
        Configuration("InitializeProperties/Install", &InitializeProperties, u"InitializeProperties", InstallFolders),
        Configuration("InitializeProperties/InstallFrench", &InitializeProperties, u"InitializeProperties",
                      Then(InstallFolders, French())),
        Configuration("InitializeProperties/ThirdLookupFails", &InitializeProperties, u"InitializeProperties",
                      Then(InstallFolders, [](sim::Windows& w) { w.accounts["S-1-5-32-544"].failWith = 1332; })),
        Configuration("InitializeProperties/Removal", &InitializeProperties, u"InitializeProperties",
                      Removal(u"C:\\Program Files\\App\\")),
        Configuration("InitializeProperties/RemovalLongLocation", &InitializeProperties, u"InitializeProperties",
                      Removal(u"C:\\" + Text(300, u'l'))),
        Configuration("InitializeProperties/RemovalUnknownProduct", &InitializeProperties, u"InitializeProperties",
                      Removal(u"")),
        Configuration("ConfigureASPNETOnIIS/64-bit", &ConfigureASPNETOnIIS, u"SetIIS7To32BitOn64",
                      Properties({{u"CustomActionData", u"C:\\Windows\\|x"}, {u"IS_OS_64BIT", u"1"}})),
        Configuration("ConfigureASPNETOnIIS/32-bit", &ConfigureASPNETOnIIS, u"SetIIS7To32BitOn64",
                      Properties({{u"CustomActionData", u"C:\\Windows\\"}, {u"IS_OS_64BIT", u"0"}})),
        Configuration("ConfigureASPNETOnIIS64/64-bit", &ConfigureASPNETOnIIS64, u"SetIIS7To32BitOn64",
                      Properties({{u"CustomActionData", u"C:\\Win dows"}, {u"IS_OS_64BIT", u"1"}})),
        Configuration("ConfigureASPNETOnIIS64/32-bit", &ConfigureASPNETOnIIS64, u"SetIIS7To32BitOn64",
                      Properties({{u"CustomActionData", u"C:\\Windows\\"}})),
        Configuration("ConfigureSecurity/64-bit", &ConfigureSecurity, u"ConfigureSecurity", SecurityInputs),
        Configuration("ConfigureSecurity/PaddedFields", &ConfigureSecurity, u"ConfigureSecurity", PaddedSecurityInputs),
        Configuration("ConfigureSecurity/QuotationMark", &ConfigureSecurity, u"ConfigureSecurity",
                      Then(SecurityInputs, Properties({{u"USERS", u"Users\" /T"}}))),
        SweepCase{"StartRequiredServices/Started", &StartRequiredServices, u"StartRequiredServices", true, false,
                  [](sim::Windows&) {}},
        SweepCase{"StartRequiredServices/NotStartedUnanswered", &StartRequiredServices, u"StartRequiredServices",
                  true, false, Then(NoStart(), Unanswered())},
        SweepCase{"StartRequiredServices/NotStartedFrench", &StartRequiredServices, u"StartRequiredServices", true,
                  false, Then(NoStart(), French())}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '/' || ch == '-') ch = '_';
        return name;
    });

}  // namespace
