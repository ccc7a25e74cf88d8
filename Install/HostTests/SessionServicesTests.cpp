// Properties, log lines, messages, CustomActionData fields and paths.
#include "ActionEntry.h"
#include "SessionServices.h"
#include "SimulatedTest.h"

namespace {

using ca::Text;

class SessionServicesTest : public SimulatedTest {};

TEST_F(SessionServicesTest, PropertyThatIsNotSetReadsEmpty) {
    EXPECT_EQ(ca::GetInstallerProperty(sim::Windows::Session, u"Missing"), u"");
}

TEST_F(SessionServicesTest, LongValueIsReadWholeInTwoCalls) {
    const Text value(700, u'x');
    windows.properties[u"Long"] = value + u"y";
    EXPECT_EQ(ca::GetInstallerProperty(sim::Windows::Session, u"Long"), value + u"y");
    EXPECT_EQ(windows.CallCount("MsiGetPropertyW"), 2u);
}

TEST_F(SessionServicesTest, ValueIsCutAtItsFirstNul) {
    windows.properties[u"Nul"] = Text(u"ab\0cd", 5);
    EXPECT_EQ(ca::GetInstallerProperty(sim::Windows::Session, u"Nul"), u"ab");
}

TEST_F(SessionServicesTest, FailedFirstReadRaisesItsNumberWithoutASecondCall) {
    windows.failingPropertyReads[u"Broken"] = 6;
    try {
        ca::GetInstallerProperty(sim::Windows::Session, u"Broken");
        FAIL() << "no ActionErrorCode";
    } catch (const ca::ActionErrorCode& error) {
        EXPECT_EQ(error.Number(), 6u);
    }
    EXPECT_EQ(windows.CallCount("MsiGetPropertyW"), 1u);
}

TEST_F(SessionServicesTest, HandleThatIsNotASessionRaisesInvalidHandle) {
    try {
        ca::GetInstallerProperty(0x1234, u"REMOVE");
        FAIL() << "no ActionErrorCode";
    } catch (const ca::ActionErrorCode& error) {
        EXPECT_EQ(error.Number(), 6u);
    }
}

TEST_F(SessionServicesTest, ValueThatGrowsBetweenTheTwoReadsRaisesMoreData) {
    windows.properties[u"Growing"] = u"abc";
    windows.growingProperties[u"Growing"] = 1;
    try {
        ca::GetInstallerProperty(sim::Windows::Session, u"Growing");
        FAIL() << "no ActionErrorCode";
    } catch (const ca::ActionErrorCode& error) {
        EXPECT_EQ(error.Number(), 234u);
    }
}

TEST_F(SessionServicesTest, SetPropertyWritesOnceAndIgnoresAFailure) {
    ca::SetInstallerProperty(sim::Windows::Session, u"IIS_FOUND", u"1");
    ca::SetInstallerProperty(0x1234, u"IIS_FOUND", u"0");
    EXPECT_EQ(Property(u"IIS_FOUND"), u"1");
    EXPECT_EQ(windows.CallCount("MsiSetPropertyW"), 2u);
}

TEST_F(SessionServicesTest, LogLineIsOneInfoMessageAndSetsNoProperty) {
    windows.answer = [](const sim::Message&) { return 0; };
    EXPECT_EQ(ca::LogInfo(sim::Windows::Session, u"Completed."), 0);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, 0x04000000u);
    EXPECT_EQ(windows.messages[0].field0, u"Completed.");
    EXPECT_FALSE(HasProperty(u"MESSAGE"));
}

TEST_F(SessionServicesTest, LogLineWithoutRecordIsDropped) {
    windows.failCallNumber = 1;
    EXPECT_EQ(ca::LogInfo(sim::Windows::Session, u"Completed."), 0);
    EXPECT_TRUE(windows.messages.empty());
}

TEST_F(SessionServicesTest, LogLineWithBracketsIsShownAsItStands) {
    windows.properties[u"old"] = u"REPLACED";
    ca::LogInfo(sim::Windows::Session, u"cacls \"C:\\Sites [old]\\App\" /E");
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].shown, u"cacls \"C:\\Sites [old]\\App\" /E");
}

struct MessageAnswer {
    std::int32_t answer;
    bool stored;
    friend void PrintTo(const MessageAnswer& c, std::ostream* out) { *out << "answer " << c.answer; }
};
class ShowMessageTest : public SessionServicesTest,
                        public ::testing::WithParamInterface<MessageAnswer> {};

TEST_P(ShowMessageTest, PassesTheTypeAndKeepsTheTextOnlyWhenUnanswered) {
    windows.properties[u"MESSAGE"] = u"before";
    windows.answer = [](const sim::Message&) { return GetParam().answer; };
    const Text text = u"Service [x] has failed: 2.";
    EXPECT_EQ(ca::ShowInstallerMessage(sim::Windows::Session, text, 0x02000010), GetParam().answer);
    ASSERT_EQ(windows.messages.size(), 1u);
    EXPECT_EQ(windows.messages[0].type, 0x02000010u);
    EXPECT_EQ(windows.messages[0].shown, text);
    EXPECT_EQ(Property(u"MESSAGE"), GetParam().stored ? text : u"before");
}

INSTANTIATE_TEST_SUITE_P(Answers, ShowMessageTest,
                         ::testing::Values(MessageAnswer{0, true}, MessageAnswer{1, false},
                                           MessageAnswer{-1, false}, MessageAnswer{7, false}));

TEST_F(SessionServicesTest, MessageWithoutRecordLeavesMessageAlone) {
    windows.answer = [](const sim::Message&) { return 0; };
    windows.failCallNumber = 1;
    EXPECT_EQ(ca::ShowInstallerMessage(sim::Windows::Session, u"text", 0x02000010), 0);
    EXPECT_FALSE(HasProperty(u"MESSAGE"));
}

struct PopCase {
    Text source;
    Text field;
    Text rest;
    friend void PrintTo(const PopCase& c, std::ostream* out) { *out << sim::Narrow(c.source); }
};
class PopTokenTest : public SessionServicesTest, public ::testing::WithParamInterface<PopCase> {};

TEST_P(PopTokenTest, TakesTheFirstFieldTrimmedAndLeavesTheRestAsItIs) {
    Text source = GetParam().source;
    EXPECT_EQ(ca::PopToken(source), GetParam().field);
    EXPECT_EQ(source, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PopTokenTest,
    ::testing::Values(PopCase{u"a|b", u"a", u"b"}, PopCase{u"b", u"b", u""},
                      PopCase{u" a | b ", u"a", u" b "}, PopCase{u"a||b", u"a", u"|b"},
                      PopCase{u"|b", u"", u"b"}, PopCase{u"a|", u"a", u""}, PopCase{u"", u"", u""},
                      PopCase{u"\t\r\n\v\f a \u0085\u00A0|x", u"a", u"x"},
                      PopCase{u"\u3000\u2003C:\\App\u2028", u"C:\\App", u""},
                      PopCase{u"a b|c", u"a b", u"c"}, PopCase{u"\u00B7a\u200B", u"\u00B7a\u200B", u""},
                      PopCase{u"   |b", u"", u"b"}));

TEST_F(SessionServicesTest, PopTokenThreeTimesEmptiesTheSource) {
    Text source = u"a|b";
    EXPECT_EQ(ca::PopToken(source), u"a");
    EXPECT_EQ(ca::PopToken(source), u"b");
    EXPECT_EQ(ca::PopToken(source), u"");
    EXPECT_EQ(source, u"");
}

TEST_F(SessionServicesTest, PopTokenKeepsTheBlanksAfterTheSeparatorUntilTheNextField) {
    Text source = u"a| b";
    EXPECT_EQ(ca::PopToken(source), u"a");
    EXPECT_EQ(source, u" b");
    EXPECT_EQ(ca::PopToken(source), u"b");
}

struct JoinCase {
    Text base;
    Text component;
    Text joined;
    friend void PrintTo(const JoinCase& c, std::ostream* out) { *out << sim::Narrow(c.base) << " + " << sim::Narrow(c.component); }
};
class JoinPathTest : public SessionServicesTest, public ::testing::WithParamInterface<JoinCase> {};

TEST_P(JoinPathTest, PutsExactlyOneBackslashUnlessOneSideHasIt) {
    EXPECT_EQ(ca::JoinPath(GetParam().base, GetParam().component), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, JoinPathTest,
    ::testing::Values(JoinCase{u"C:\\Windows", u"system32", u"C:\\Windows\\system32"},
                      JoinCase{u"C:\\Windows\\", u"system32", u"C:\\Windows\\system32"},
                      JoinCase{u"C:\\Windows", u"\\system32", u"C:\\Windows\\system32"},
                      JoinCase{u"C:\\Windows\\", u"\\system32", u"C:\\Windows\\\\system32"},
                      JoinCase{u"", u"system32", u"\\system32"},
                      JoinCase{u"C:\\Windows", u"", u"C:\\Windows\\"}, JoinCase{u"", u"", u"\\"}));

TEST_F(SessionServicesTest, JoinPathWithAbsentComponentLeavesTheBase) {
    EXPECT_EQ(ca::JoinPath(u"C:\\Windows", static_cast<const char16_t*>(nullptr)), u"C:\\Windows");
}

}  // namespace
