// The module's string table: the compiled texts in every language, the walk
// over a block's bytes, the English fallback and the formatting of an entry.
#include "ActionEntry.h"
#include "SimulatedTest.h"
#include "StringResources.h"

#include <optional>

namespace {

constexpr std::uint16_t Spanish = 10, French = 12, Italian = 16, Portuguese = 22;
constexpr std::uint16_t ChineseTraditional = 1028, English = 1033, ChineseSimplified = 2052;
constexpr const char16_t* ServiceFailure =
    u"%s has failed to start with the following error number returned: %d.";

class StringResourcesTest : public SimulatedTest {};

// --- The compiled table, as the loader picks it for each language ---

struct TableCase {
    const char* name;
    std::uint16_t uiLanguage;
    std::uint16_t id;
    std::optional<std::u16string> text;  // none: the entry is missing
    friend void PrintTo(const TableCase& c, std::ostream* out) { *out << c.name; }
};

class CompiledTableTest : public SimulatedTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(CompiledTableTest, LoadsTheTextOfTheChosenLanguage) {
    windows.uiLanguage = GetParam().uiLanguage;
    std::u16string target = u"stale";
    const bool loaded = ca::LoadResourceString(target, GetParam().id);
    EXPECT_EQ(loaded, GetParam().text.has_value());
    EXPECT_EQ(target, GetParam().text.value_or(u"stale")) << "a missing entry leaves the target";
}

INSTANTIATE_TEST_SUITE_P(
    Languages, CompiledTableTest,
    ::testing::Values(
        TableCase{"Spanish4000", Spanish, 4000, u"MiDep\u00F3sitoDeDocumentos"},
        TableCase{"Spanish4001", Spanish, 4001, u"Dep\u00F3sitos de documentos"},
        TableCase{"French4000", French, 4000, u"MiR\u00E9f\u00E9rentiel"},
        TableCase{"French4001", French, 4001, u"R\u00E9f\u00E9rentiels"},
        TableCase{"FranceFrench4001", 0x040C, 4001, u"R\u00E9f\u00E9rentiels"},
        TableCase{"Italian4000", Italian, 4000, u"MyRepository"},
        TableCase{"Italian4001", Italian, 4001, u"Archivi"},
        TableCase{"Portuguese4000", Portuguese, 4000, u"MeuReposit\u00F3rio"},
        TableCase{"Portuguese4001", Portuguese, 4001, u"Reposit\u00F3rios"},
        TableCase{"ChineseTraditional4000", ChineseTraditional, 4000, u"\u6211\u7684\u6587\u6A94\u5EAB"},
        TableCase{"ChineseTraditional4001", ChineseTraditional, 4001, u"\u6587\u6A94\u5EAB"},
        TableCase{"English4000", English, 4000, u"MyRepository"},
        TableCase{"English4001", English, 4001, u"Repositories"},
        TableCase{"ChineseSimplified4000", ChineseSimplified, 4000, u"\u6211\u7684\u6587\u6863\u5E93"},
        TableCase{"ChineseSimplified4001", ChineseSimplified, 4001, u"\u6587\u6863\u5E93"},
        TableCase{"GermanTakesEnglish", 0x0407, 4001, u"Repositories"},
        TableCase{"English4031", English, 4031, ServiceFailure},
        TableCase{"English4032", English, 4032, u"Quorvane Authentication Service 9"},
        // Block 253 exists in English only: every language reaches it.
        TableCase{"French4032", French, 4032, u"Quorvane Authentication Service 9"},
        // 4031 is empty outside English: the English text stands in.
        TableCase{"Spanish4031", Spanish, 4031, ServiceFailure},
        TableCase{"French4031", French, 4031, ServiceFailure},
        TableCase{"ChineseSimplified4031", ChineseSimplified, 4031, ServiceFailure},
        // Empty in every language, or in no block at all.
        TableCase{"EmptyEverywhere4002", English, 4002, std::nullopt},
        TableCase{"FrenchEmptyEverywhere4030", French, 4030, std::nullopt},
        TableCase{"EmptyEverywhere4033", English, 4033, std::nullopt},
        TableCase{"NoBlock", English, 5000, std::nullopt},
        TableCase{"FirstIdOfNoBlock", English, 0, std::nullopt},
        TableCase{"LastId", English, 0xFFFF, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The walk over one block's bytes, whatever they hold ---

std::vector<std::uint8_t> Units(std::initializer_list<std::uint16_t> units) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint16_t unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> WithOddByte(std::vector<std::uint8_t> bytes) {
    bytes.push_back(0x41);
    return bytes;
}

struct BlockCase {
    const char* name;
    std::vector<std::uint8_t> bytes;  // block 1 (ids 0 to 15), US English only
    std::uint16_t id;
    std::optional<std::u16string> text;
    friend void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }
};

class BlockWalkTest : public SimulatedTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockWalkTest, FindsTheEntryOrNothingWithoutReadingPastTheBlock) {
    windows.stringBlocks.clear();
    windows.stringBlocks[1][English] = GetParam().bytes;
    std::u16string target = u"stale";
    EXPECT_EQ(ca::LoadResourceString(target, GetParam().id), GetParam().text.has_value());
    EXPECT_EQ(target, GetParam().text.value_or(u"stale"));
}

const std::vector<std::uint8_t> Sixteen =
    Units({1, 'a', 0, 2, 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 'x', 'y', 'z'});

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockWalkTest,
    ::testing::Values(
        BlockCase{"First", Sixteen, 0, u"a"},
        BlockCase{"EmptyBetween", Sixteen, 1, std::nullopt},
        BlockCase{"AfterAnEmpty", Sixteen, 2, u"bc"},
        BlockCase{"Last", Sixteen, 15, u"xyz"},
        BlockCase{"ZeroBytes", {}, 0, std::nullopt},
        BlockCase{"OneByte", {0x01}, 0, std::nullopt},
        BlockCase{"CountOnly", Units({1}), 0, std::nullopt},
        BlockCase{"CountPastTheEnd", Units({5, 'a', 'b'}), 0, std::nullopt},
        BlockCase{"LargestCount", Units({0xFFFF, 'a'}), 0, std::nullopt},
        BlockCase{"SkipPastTheEnd", Units({9, 'a', 'b', 2, 'c', 'd'}), 1, std::nullopt},
        BlockCase{"SecondSkipPastTheEnd", Units({9, 'a'}), 2, std::nullopt},
        BlockCase{"SkipLandsOnTheEnd", Units({2, 'a', 'b'}), 1, std::nullopt},
        BlockCase{"LargestSkip", Units({0xFFFF, 1, 'a'}), 1, std::nullopt},
        BlockCase{"FewerThanSixteenEntries", Units({1, 'a', 1, 'b'}), 5, std::nullopt},
        BlockCase{"TextUpToTheLastUnit", Units({0, 3, 'e', 'n', 'd'}), 1, u"end"},
        BlockCase{"OddTrailingByteIgnored", WithOddByte(Units({2, 'o', 'k'})), 0, u"ok"},
        BlockCase{"TextEndingInTheOddByte", WithOddByte(Units({2, 'o'})), 0, std::nullopt},
        BlockCase{"NulInsideTheText", Units({3, 'a', 0, 'b'}), 0, std::u16string(u"a\0b", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Which variant gives the text ---

struct VariantCase {
    const char* name;
    std::optional<std::vector<std::uint8_t>> french;   // none: no French variant
    std::optional<std::vector<std::uint8_t>> english;  // none: no English variant
    std::optional<std::u16string> text;
    friend void PrintTo(const VariantCase& c, std::ostream* out) { *out << c.name; }
};

class VariantTest : public SimulatedTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(VariantTest, TakesTheUiLanguageThenUsEnglishForAnEntryWithoutText) {
    windows.stringBlocks.clear();
    windows.uiLanguage = French;
    if (GetParam().french) windows.stringBlocks[1][French] = *GetParam().french;
    if (GetParam().english) windows.stringBlocks[1][English] = *GetParam().english;
    std::u16string target = u"stale";
    EXPECT_EQ(ca::LoadResourceString(target, 1), GetParam().text.has_value());
    EXPECT_EQ(target, GetParam().text.value_or(u"stale"));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, VariantTest,
    ::testing::Values(
        VariantCase{"Translated", Units({0, 2, 'f', 'r'}), Units({0, 2, 'e', 'n'}), u"fr"},
        VariantCase{"EmptyTranslation", Units({0, 0}), Units({0, 2, 'e', 'n'}), u"en"},
        VariantCase{"ShortTranslation", Units({0}), Units({0, 2, 'e', 'n'}), u"en"},
        VariantCase{"EmptyInBoth", Units({0, 0}), Units({0, 0}), std::nullopt},
        VariantCase{"EmptyAndNoEnglish", Units({0, 0}), std::nullopt, std::nullopt},
        VariantCase{"EnglishOnly", std::nullopt, Units({0, 2, 'e', 'n'}), u"en"},
        VariantCase{"NoVariant", std::nullopt, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A loader step that fails: the entry is missing, the target unchanged ---

struct LoaderFailure {
    const char* name;
    std::size_t failingCall;  // 1 FindResourceW, 2 LoadResource, 3 LockResource
    friend void PrintTo(const LoaderFailure& c, std::ostream* out) { *out << c.name; }
};

class LoaderFailureTest : public SimulatedTest, public ::testing::WithParamInterface<LoaderFailure> {};

TEST_P(LoaderFailureTest, LeavesTheTargetAsItWas) {
    windows.failCallNumber = GetParam().failingCall;
    std::u16string target = u"stale";
    EXPECT_FALSE(ca::LoadResourceString(target, 4000));
    EXPECT_EQ(target, u"stale");
}

INSTANTIATE_TEST_SUITE_P(Steps, LoaderFailureTest,
                         ::testing::Values(LoaderFailure{"FindResource", 1},
                                           LoaderFailure{"LoadResource", 2},
                                           LoaderFailure{"LockResource", 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StringResourcesTest, EachLoadLooksTheBlockUpAgain) {
    std::u16string first, second;
    ca::LoadResourceString(first, 4000);
    windows.uiLanguage = French;
    ca::LoadResourceString(second, 4000);
    EXPECT_EQ(first, u"MyRepository");
    EXPECT_EQ(second, u"MiR\u00E9f\u00E9rentiel");
}

// --- Formatting an entry ---

struct FormatCase {
    const char* name;
    std::uint16_t uiLanguage;
    const char16_t* service;
    std::int32_t number;
    std::u16string expected;
    friend void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }
};

class FormatResourceTest : public SimulatedTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatResourceTest, FillsTheEntryWithTheValuesAsTheyAre) {
    windows.uiLanguage = GetParam().uiLanguage;
    std::u16string target = u"previous";
    ca::FormatResourceString(target, 4031, {GetParam().service, GetParam().number});
    EXPECT_EQ(target, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatResourceTest,
    ::testing::Values(
        FormatCase{"English", English, u"Quorvane Authentication Service 9", 2,
                   u"Quorvane Authentication Service 9 has failed to start with the following "
                   u"error number returned: 2."},
        FormatCase{"PercentInTheName", English, u"50% %s %d svc", -1,
                   u"50% %s %d svc has failed to start with the following error number returned: -1."},
        FormatCase{"LargeNumberIsSigned", English, u"S", static_cast<std::int32_t>(0x80004005u),
                   u"S has failed to start with the following error number returned: -2147467259."},
        FormatCase{"UntranslatedTakesEnglish", Portuguese, u"S", 1058,
                   u"S has failed to start with the following error number returned: 1058."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StringResourcesTest, FormattingAMissingEntryFailsAndLeavesTheTarget) {
    std::u16string target = u"previous";
    EXPECT_THROW(ca::FormatResourceString(target, 5000, {u"S", 2}), ca::StringFacilityFailure);
    EXPECT_EQ(target, u"previous");
}

TEST_F(StringResourcesTest, FormattingAnEntryEmptyInEveryLanguageFails) {
    windows.stringBlocks[252].erase(English);
    windows.uiLanguage = French;
    std::u16string target;
    EXPECT_THROW(ca::FormatResourceString(target, 4031, {u"S", 2}), ca::StringFacilityFailure);
}

}  // namespace
