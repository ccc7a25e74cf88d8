// StartRequiredServices: the net start command, the warning when net cannot
// be started, the outcome line, and what happens without its strings.
#include "Actions.h"
#include "SimulatedTest.h"

#include <functional>
#include <optional>

namespace {

using Lines = std::vector<sim::Text>;

constexpr std::uint32_t WarningWithIcon = 0x02000010;
constexpr std::uint16_t French = 0x040C, ChineseSimplified = 0x0804, English = 0x0409;
constexpr const char16_t* NetStart = u"net start \"Quorvane Authentication Service 9\"";
constexpr const char16_t* Started = u"Launch Quorvane Authentication Service 9 was successful";
constexpr const char16_t* NotFoundWarning =
    u"Quorvane Authentication Service 9 has failed to start with the following error number returned: 2.";
constexpr const char16_t* NotFoundOutcome = u"Launch Quorvane Authentication Service 9 returned value: 2";

struct ServiceCase {
    const char* name;
    std::uint16_t uiLanguage;
    std::function<void(sim::Windows&)> prepare;  // strings taken away
    std::uint32_t startError;
    std::int32_t answer;
    const char16_t* commandLine;
    std::optional<sim::Text> warning;  // none: no message
    Lines log;
    std::uint32_t result;
    friend void PrintTo(const ServiceCase& c, std::ostream* out) { *out << c.name; }
};

class RequiredServicesTest : public SimulatedTest, public ::testing::WithParamInterface<ServiceCase> {};

TEST_P(RequiredServicesTest, StartsTheServiceAndWarnsOnlyWhenNetCannotStart) {
    const auto& c = GetParam();
    windows.uiLanguage = c.uiLanguage;
    c.prepare(windows);
    windows.startResult = [&](const sim::ProcessStart&) { return c.startError; };
    windows.answer = [&](const sim::Message& message) {
        return message.type == win::InstallMessageInfo ? 1 : c.answer;
    };
    windows.properties[u"MESSAGE"] = u"before";

    EXPECT_EQ(StartRequiredServices(sim::Windows::Session), c.result);
    EXPECT_EQ(AttemptedCommandLines(), Lines{c.commandLine});
    for (const auto& start : windows.starts) EXPECT_TRUE(start.waited);
    std::vector<sim::Message> warnings;
    for (const auto& message : windows.messages)
        if (message.type != win::InstallMessageInfo) warnings.push_back(message);
    if (c.warning) {
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].type, WarningWithIcon);
        EXPECT_EQ(warnings[0].shown, *c.warning);
        EXPECT_EQ(Property(u"MESSAGE"), c.answer == 0 ? *c.warning : u"before");
    } else {
        EXPECT_TRUE(warnings.empty());
        EXPECT_EQ(Property(u"MESSAGE"), u"before");
    }
    EXPECT_EQ(LogLines(), c.log);
}

void KeepAll(sim::Windows&) {}
void NoStrings(sim::Windows& w) { w.stringBlocks.clear(); }
void NoWarningText(sim::Windows& w) { w.stringBlocks.erase(4031 / 16 + 1); }

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RequiredServicesTest,
    ::testing::Values(
        ServiceCase{"Started", English, KeepAll, 0, 1, NetStart, std::nullopt, {Started}, 0},
        ServiceCase{"NetMissingAnswered", English, KeepAll, 2, 1, NetStart, NotFoundWarning,
                    {NotFoundOutcome}, 0},
        ServiceCase{"NetMissingNoAnswer", English, KeepAll, 2, 0, NetStart, NotFoundWarning,
                    {NotFoundOutcome}, 0},
        ServiceCase{"NetMissingCancelled", English, KeepAll, 2, -1, NetStart, NotFoundWarning,
                    {NotFoundOutcome}, 0},
        ServiceCase{"LargeErrorSigned", English, KeepAll, 0x80070005u, 1, NetStart,
                    u"Quorvane Authentication Service 9 has failed to start with the following error "
                    u"number returned: -2147024891.",
                    {u"Launch Quorvane Authentication Service 9 returned value: -2147024891"}, 0},
        ServiceCase{"FrenchStarted", French, KeepAll, 0, 1, NetStart, std::nullopt, {Started}, 0},
        // The warning has no translation: the English text stands in for it.
        ServiceCase{"FrenchNetMissing", French, KeepAll, 2, 0, NetStart, NotFoundWarning,
                    {NotFoundOutcome}, 0},
        ServiceCase{"ChineseNetMissing", ChineseSimplified, KeepAll, 2, 1, NetStart, NotFoundWarning,
                    {NotFoundOutcome}, 0},
        ServiceCase{"NoStringsStarted", English, NoStrings, 0, 1, u"net start \"\"", std::nullopt,
                    {u"Launch  was successful"}, 0},
        // A warning that cannot be built ends the action quietly.
        ServiceCase{"NoStringsNetMissing", English, NoStrings, 2, 1, u"net start \"\"", std::nullopt, {},
                    1603},
        ServiceCase{"NoWarningTextStarted", English, NoWarningText, 0, 1, NetStart, std::nullopt,
                    {Started}, 0},
        ServiceCase{"NoWarningTextNetMissing", English, NoWarningText, 5, 0, NetStart, std::nullopt, {},
                    1603}));

}  // namespace
