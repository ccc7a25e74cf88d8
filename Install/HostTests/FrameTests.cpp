// The entry protocol and the one error report.
#include "ActionEntry.h"
#include "SimulatedTest.h"

#include <new>

using ca::ActionErrorCode;

namespace {

constexpr std::uint32_t ErrorWithIcon = 0x01000010;

class FrameTest : public SimulatedTest {};

TEST_F(FrameTest, ReportShowsOneErrorMessageWithIconAndReturnsTheAnswer) {
    windows.answer = [](const sim::Message&) { return 1; };
    EXPECT_EQ(ca::ReportFunctionError(sim::Windows::Session, u"ConfigureSecurity", 6), 1);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, ErrorWithIcon);
    EXPECT_EQ(windows.messages[0].shown, u"Error in function ConfigureSecurity: 6");
    EXPECT_FALSE(HasProperty(u"MESSAGE"));
}

struct AnswerCase {
    std::int32_t answer;
    bool messageStored;
    friend void PrintTo(const AnswerCase& c, std::ostream* out) { *out << "answer " << c.answer; }
};

class ReportAnswerTest : public FrameTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ReportAnswerTest, KeepsTheTextInMessageOnlyWhenTheInstallerTookNoAction) {
    windows.properties[u"MESSAGE"] = u"before";
    windows.answer = [](const sim::Message&) { return GetParam().answer; };
    EXPECT_EQ(ca::ReportFunctionError(sim::Windows::Session, u"SetIIS7To32BitOn64", 5),
              GetParam().answer);
    EXPECT_EQ(Property(u"MESSAGE"),
              GetParam().messageStored ? u"Error in function SetIIS7To32BitOn64: 5" : u"before");
}

INSTANTIATE_TEST_SUITE_P(Answers, ReportAnswerTest,
                         ::testing::Values(AnswerCase{0, true}, AnswerCase{1, false},
                                           AnswerCase{-1, false}, AnswerCase{2, false}));

TEST_F(FrameTest, ReportWithoutRecordShowsNothingAndSetsNothing) {
    windows.failCallNumber = 1;  // MsiCreateRecord
    EXPECT_EQ(ca::ReportFunctionError(sim::Windows::Session, u"ConfigureSecurity", 6), 0);
    EXPECT_EQ(windows.CallCount("MsiProcessMessage"), 0u);
    EXPECT_EQ(windows.CallCount("MsiSetPropertyW"), 0u);
}

TEST_F(FrameTest, ReportPrintsLargeNumbersAsNegativeDecimals) {
    ca::ReportFunctionError(sim::Windows::Session, u"InitializeProperties",
                            static_cast<std::int32_t>(0x80070005u));
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].shown, u"Error in function InitializeProperties: -2147024891");
}

TEST_F(FrameTest, BracketsInTheReportReachTheUserUnchangedAndMessageHoldsThePlainText) {
    windows.properties[u"ProductName"] = u"Oops";
    windows.answer = [](const sim::Message&) { return 0; };
    ca::ReportFunctionError(sim::Windows::Session, u"Sites [ProductName]", 1);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].field0, u"Error in function Sites [\\[]ProductName[\\]]: 1");
    EXPECT_EQ(windows.messages[0].shown, u"Error in function Sites [ProductName]: 1");
    EXPECT_EQ(Property(u"MESSAGE"), u"Error in function Sites [ProductName]: 1");
}

struct EdgeCase {
    const char* name;
    ca::OtherFailures otherFailures;
    std::function<std::uint32_t()> body;
    std::uint32_t result;
    const char16_t* report;  // nullptr: no message
    friend void PrintTo(const EdgeCase& c, std::ostream* out) { *out << c.name; }
};

class EntryTest : public FrameTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(EntryTest, TurnsEveryFailureIntoItsResultAndReport) {
    const EdgeCase& edge = GetParam();
    EXPECT_EQ(ca::CustomActionEntry(sim::Windows::Session, u"ConfigureSecurity", edge.otherFailures,
                                    edge.body),
              edge.result);
    if (edge.report == nullptr) {
        EXPECT_TRUE(windows.messages.empty());
    } else {
        ASSERT_EQ(windows.messages.size(), 1u);
        EXPECT_EQ(windows.messages[0].type, ErrorWithIcon);
        EXPECT_EQ(windows.messages[0].shown, edge.report);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, EntryTest,
    ::testing::Values(
        EdgeCase{"Completes", ca::OtherFailures::Report, [] { return 0u; }, 0, nullptr},
        EdgeCase{"CompletesWithFailure", ca::OtherFailures::Report, [] { return 1603u; }, 1603, nullptr},
        EdgeCase{"ActionError", ca::OtherFailures::Report,
                 []() -> std::uint32_t { throw ActionErrorCode(6); }, 1603,
                 u"Error in function ConfigureSecurity: 6"},
        EdgeCase{"ActionErrorWhenOthersAreSilent", ca::OtherFailures::EndSilently,
                 []() -> std::uint32_t { throw ActionErrorCode(234); }, 1603,
                 u"Error in function ConfigureSecurity: 234"},
        EdgeCase{"OutOfMemoryReported", ca::OtherFailures::Report,
                 []() -> std::uint32_t { throw std::bad_alloc(); }, 1603,
                 u"Error in function ConfigureSecurity: 8"},
        EdgeCase{"OutOfMemorySilent", ca::OtherFailures::EndSilently,
                 []() -> std::uint32_t { throw std::bad_alloc(); }, 1603, nullptr},
        EdgeCase{"StringFacilitySilent", ca::OtherFailures::EndSilently,
                 []() -> std::uint32_t { throw ca::StringFacilityFailure(1814); }, 1603, nullptr},
        EdgeCase{"AnythingElseReported", ca::OtherFailures::Report,
                 []() -> std::uint32_t { throw 42; }, 1603,
                 u"Error in function ConfigureSecurity: 1603"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
