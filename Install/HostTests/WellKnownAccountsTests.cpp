// SIDs from their string form, as the account lookups build them.
#include "SimulatedTest.h"
#include "WellKnownAccounts.h"

#include <optional>

namespace sim {
inline void PrintTo(const SidValue& sid, std::ostream* out) {
    *out << sid.ToString() << " (authority";
    for (const std::uint8_t byte : sid.authority) *out << ' ' << static_cast<int>(byte);
    *out << ", count " << static_cast<int>(sid.count) << ')';
}
}  // namespace sim

namespace {

sim::SidValue Sid(std::initializer_list<std::uint8_t> authority, std::uint8_t count,
                  std::initializer_list<std::uint32_t> subAuthorities) {
    sim::SidValue sid;
    std::copy(authority.begin(), authority.end(), sid.authority);
    sid.count = count;
    std::copy(subAuthorities.begin(), subAuthorities.end(), sid.subAuthorities);
    return sid;
}

struct SidCase {
    const char* name;
    const char16_t* text;
    std::optional<sim::SidValue> sid;  // none: no SID is built
    friend void PrintTo(const SidCase& c, std::ostream* out) { *out << c.name; }
};

class ParseSidStringTest : public SimulatedTest, public ::testing::WithParamInterface<SidCase> {};

TEST_P(ParseSidStringTest, BuildsTheSidTheTextNames) {
    const ca::UniqueSid sid = ca::ParseSidString(GetParam().text);
    ASSERT_EQ(static_cast<bool>(sid), GetParam().sid.has_value());
    if (!GetParam().sid) {
        EXPECT_TRUE(windows.allocatedSids.empty()) << "nothing is allocated for a text it refuses";
        return;
    }
    ASSERT_EQ(windows.allocatedSids.size(), 1u);
    EXPECT_EQ(windows.allocatedSids[0], *GetParam().sid);
}

const auto Nt = {std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0},
                 std::uint8_t{0}, std::uint8_t{5}};

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseSidStringTest,
    ::testing::Values(
        SidCase{"CreatorOwner", u"S-1-3-0", Sid({0, 0, 0, 0, 0, 3}, 1, {0})},
        SidCase{"Users", u"S-1-5-32-545", Sid(Nt, 2, {32, 545})},
        SidCase{"Administrators", u"S-1-5-32-544", Sid(Nt, 2, {32, 544})},
        SidCase{"NetworkService", u"S-1-5-20", Sid(Nt, 1, {20})},
        SidCase{"HexAuthority", u"S-1-0x000000000005-32-544", Sid(Nt, 2, {32, 544})},
        SidCase{"HexAuthorityAllBytes", u"S-1-0x123456789aBc-1", Sid({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, 1, {1})},
        SidCase{"HexAuthorityShort", u"S-1-0x5-1", Sid({5, 0, 0, 0, 0, 0}, 1, {1})},
        SidCase{"HexAuthorityStopsAtANonDigit", u"S-1-0x01g2-1", Sid({1, 0, 0, 0, 0, 0}, 1, {1})},
        SidCase{"HexAuthorityPastSixBytes", u"S-1-0x0000000000050-1", Sid(Nt, 1, {1})},
        SidCase{"UpperCaseXReadsAsDecimal", u"S-1-0X5-7", Sid({0, 0, 0, 0, 0, 0}, 1, {7})},
        SidCase{"DecimalAuthority256", u"S-1-256-1", Sid({0, 0, 0, 0, 1, 0}, 1, {1})},
        SidCase{"LargestDecimalAuthority", u"S-1-4294967295-1", Sid({0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 1, {1})},
        SidCase{"RevisionAndPrefixNotRead", u"X-9-5-18", Sid(Nt, 1, {18})},
        SidCase{"EndsInADash", u"S-1-5-", Sid(Nt, 1, {0})},
        SidCase{"TwoEmptySubAuthorities", u"S-1-5--", Sid(Nt, 2, {0, 0})},
        SidCase{"SubAuthorityThatIsNoNumber", u"S-1-5-abc-7", Sid(Nt, 2, {0, 7})},
        SidCase{"SubAuthorityNumberStopsAtALetter", u"S-1-5-32x-7", Sid(Nt, 2, {32, 7})},
        SidCase{"LargestSubAuthority", u"S-1-5-4294967295", Sid(Nt, 1, {4294967295u})},
        SidCase{"EightSubAuthorities", u"S-1-5-1-2-3-4-5-6-7-8", Sid(Nt, 8, {1, 2, 3, 4, 5, 6, 7, 8})},
        SidCase{"TenSubAuthoritiesKeepEight", u"S-1-5-1-2-3-4-5-6-7-8-9-10", Sid(Nt, 8, {1, 2, 3, 4, 5, 6, 7, 8})},
        SidCase{"EighthEndsAtTheNinthDash", u"S-1-5-1-2-3-4-5-6-7-88-9", Sid(Nt, 8, {1, 2, 3, 4, 5, 6, 7, 88})},
        SidCase{"NoDash", u"S", std::nullopt},
        SidCase{"Empty", u"", std::nullopt},
        SidCase{"OneDash", u"S-1", std::nullopt},
        SidCase{"TwoDashesAuthorityOnly", u"S-1-5", std::nullopt},
        SidCase{"Null", nullptr, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class WellKnownAccountsTest : public SimulatedTest {};

TEST_F(WellKnownAccountsTest, FailedAllocationGivesNoneWithTheAllocationError) {
    windows.failSidAllocationWith = 8;
    EXPECT_FALSE(ca::ParseSidString(u"S-1-5-20"));
    EXPECT_EQ(win::GetLastError(), 8u);
}

TEST_F(WellKnownAccountsTest, OneTurnWritesTheNameAloneAndReleasesTheSid) {
    ca::AccountNameBuffers buffers;
    std::uint32_t error = 0;
    EXPECT_TRUE(ca::WellKnownAccountName(sim::Windows::Session, buffers, u"S-1-5-20",
                                         u"NETWORKSERVICE", error));
    EXPECT_EQ(Property(u"NETWORKSERVICE"), u"NETWORK SERVICE");
    EXPECT_EQ(windows.CallCount("FreeSid"), 1u);
}

TEST_F(WellKnownAccountsTest, FailedTurnWritesNothingAndReportsTheLookupsError) {
    windows.accounts["S-1-5-20"].failWith = 1332;
    windows.freeSidSetsLastError = 87;
    ca::AccountNameBuffers buffers;
    std::uint32_t error = 0;
    EXPECT_FALSE(ca::WellKnownAccountName(sim::Windows::Session, buffers, u"S-1-5-20",
                                          u"NETWORKSERVICE", error));
    EXPECT_EQ(error, 1332u);
    EXPECT_TRUE(windows.propertyWrites.empty());
    EXPECT_TRUE(windows.messages.empty()) << "the turn leaves the report to the block";
}

}  // namespace
