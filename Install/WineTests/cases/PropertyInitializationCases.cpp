// InitializeProperties in Wine's installer engine: installation mode with the
// prefix's folders, the string table's languages and the accounts' names, and
// removal mode against products that Windows Installer really has recorded.
#include "Case.h"

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

using e2e::Property;

// A product with nothing in it, installed for a case so that Windows
// Installer records the install location given on the command line.
const std::wstring RecordedProduct = L"{476A70EC-6602-415F-B317-FDED0DAC7A2A}";
const std::wstring InstallRecorded = L"msiexec /i \"${dir}RecordedLocation.msi\" /qn";
const std::wstring RemoveRecorded = L"msiexec /x " + RecordedProduct + L" /qn";

struct Repository {
    std::string language;  // LC_ALL of the driver process; "" = the default (English)
    std::wstring name;
    std::wstring folder;
};

// Wine takes its user-interface language from the LC_ALL that the process
// started with (LANG alone does not switch it); FindResourceW then picks that
// language's variant of a string block.
const std::vector<Repository> Repositories = {
    {"", L"MyRepository", L"Repositories"},
    {"fr_FR.UTF-8", L"MiR\u00E9f\u00E9rentiel", L"R\u00E9f\u00E9rentiels"},
    {"zh_CN.UTF-8", L"\u6211\u7684\u6587\u6863\u5E93", L"\u6587\u6863\u5E93"},
};

// Installation mode: every property from the session's own folders. The
// account names are whatever LookupAccountSidW answers on this system (Wine:
// "CREATOR OWNER", "Users", "Administrators", "NETWORK SERVICE", in English
// whatever the language).
std::vector<Property> InstallationProperties(const std::wstring& programFiles, const Repository& repository) {
    const std::wstring framework = L"${property:WindowsFolder}Microsoft.NET\\Framework";
    return {
        {L"INTERNETEXPLORER", programFiles + L"Internet Explorer\\iexplore.exe"},
        {L"REGIIS", framework + L"\\v4.0.30319\\aspnet_regiis.exe"},
        {L"REGIIS64", framework + L"64\\v4.0.30319\\aspnet_regiis.exe"},
        {L"COMPILE_APP", framework + L"\\v4.0.30319\\aspnet_compiler.exe"},
        {L"COMPILE_APP_64", framework + L"64\\v4.0.30319\\aspnet_compiler.exe"},
        {L"QVREPOSITORYNAME", repository.name},
        {L"QVREPOSITORYPATH", L"${property:WindowsVolume}" + repository.folder + L"\\" + repository.name},
        {L"CREATOROWNER", L"${account:S-1-3-0}"},
        {L"USERS", L"${account:S-1-5-32-545}"},
        {L"ADMINISTRATORS", L"${account:S-1-5-32-544}"},
        {L"NETWORKSERVICE", L"${account:S-1-5-20}"},
        {L"INSTALL_PATH", L""},
        {L"GoConfig", L""},
    };
}

// Removal mode writes these two and nothing of installation mode.
std::vector<Property> RemovalProperties(const std::wstring& installPath) {
    return {{L"INSTALL_PATH", installPath}, {L"GoConfig", L"0"}, {L"INTERNETEXPLORER", L""},
            {L"QVREPOSITORYNAME", L""},     {L"USERS", L""},     {L"MESSAGE", L""}};
}

e2e::Message Line(const std::wstring& text) { return {e2e::Info, text}; }

e2e::Case Removal(std::string name, const std::wstring& location) {
    const std::wstring given = location.empty() ? L"" : L" ARPINSTALLLOCATION=" + location;
    return {.name = std::move(name),
            .action = "InitializeProperties",
            .properties = {{L"REMOVE", L"ALL"}, {L"ProductCode", RecordedProduct}},
            .commandsBefore = {InstallRecorded + given},
            .commandsAfter = {RemoveRecorded},
            .expectProperties = RemovalProperties(location),
            .expectMessages = {Line(L"INSTALLPROPERTY_INSTALLLOCATION = " + location)}};
}

std::vector<e2e::Case> Cases() {
    std::vector<e2e::Case> cases;
    for (const Repository& repository : Repositories) {
        const std::string language = repository.language.empty() ? "English" : repository.language;
        cases.push_back({.name = "installation, " + language,
                         .action = "InitializeProperties",
                         .language = repository.language,
                         .expectProperties = InstallationProperties(L"${property:ProgramFilesFolder}", repository)});
    }
    for (const wchar_t* remove : {L"all", L"ALL,Main", L"Main"})
        cases.push_back({.name = "installation, REMOVE=" + std::string(remove, remove + std::wcslen(remove)),
                         .action = "InitializeProperties",
                         .properties = {{L"REMOVE", remove}},
                         .expectProperties = InstallationProperties(L"${property:ProgramFilesFolder}", Repositories[0])});
    cases.push_back({.name = "installation, folders without a trailing backslash",
                     .action = "InitializeProperties",
                     .properties = {{L"ProgramFilesFolder", L"D:\\Programs"},
                                    {L"WindowsFolder", L"D:\\Win"},
                                    {L"WindowsVolume", L"D:"}},
                     .expectProperties = {{L"INTERNETEXPLORER", L"D:\\Programs\\Internet Explorer\\iexplore.exe"},
                                          {L"REGIIS64", L"D:\\Win\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_regiis.exe"},
                                          {L"QVREPOSITORYPATH", L"D:\\Repositories\\MyRepository"}}});

    cases.push_back({.name = "removal, product not installed",
                     .action = "InitializeProperties",
                     .properties = {{L"REMOVE", L"ALL"}},
                     .expectProperties = RemovalProperties(L""),
                     .expectMessages = {Line(L"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: 1605")}});
    cases.push_back({.name = "removal, malformed product code",
                     .action = "InitializeProperties",
                     .properties = {{L"REMOVE", L"ALL"}, {L"ProductCode", L"{not a product code}"}},
                     .expectProperties = RemovalProperties(L""),
                     .expectMessages = {Line(L"Getting INSTALLPROPERTY_INSTALLLOCATION returned value: 87")}});
    cases.push_back(Removal("removal, recorded location", L"C:\\Brennowick\\E2E"));
    cases.push_back(Removal("removal, installed without a location", L""));
    // Locations that do not fit 260 characters: asked for again with their size.
    cases.push_back(Removal("removal, location of 260 characters", L"C:\\" + std::wstring(257, L'L')));
    cases.push_back(Removal("removal, location of 1000 characters", L"C:\\" + std::wstring(997, L'M')));
    return cases;
}

const e2e::CaseTable table("PropertyInitialization", Cases());

}  // namespace
