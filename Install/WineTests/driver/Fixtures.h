// What a case prepares around the call, each put back by its destructor:
// registry keys and values, files, environment variables. What cannot be
// prepared or put back is added to the case's problems.
#pragma once

#include "Case.h"

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

using Problems = std::vector<std::string>;

class PreparedRegistry {
public:
    PreparedRegistry(const std::vector<RegistryFixture>& fixtures, Problems& problems);
    ~PreparedRegistry();
    PreparedRegistry(const PreparedRegistry&) = delete;
    PreparedRegistry& operator=(const PreparedRegistry&) = delete;

private:
    struct Undo {
        enum class Kind { DeleteTree, RestoreLink } kind;
        REGSAM view;
        std::wstring key;
        std::vector<BYTE> linkTarget;
    };
    void Separate(const RegistryFixture& fixture);
    void Clear(const RegistryFixture& fixture, REGSAM view);
    void Write(const RegistryFixture& fixture, REGSAM view);

    Problems& problems_;
    std::vector<Undo> undo_;
};

class PreparedFiles {
public:
    PreparedFiles(const std::vector<FileFixture>& fixtures, const std::wstring& recorder, Problems& problems);
    ~PreparedFiles();
    PreparedFiles(const PreparedFiles&) = delete;
    PreparedFiles& operator=(const PreparedFiles&) = delete;

private:
    struct Undo {
        enum class Kind { DeleteFile, Unhide, RemoveTree } kind;
        std::wstring path;
    };
    void MakeFolders(const std::wstring& folder);
    void Hide(const std::wstring& path, bool mustExist);

    Problems& problems_;
    std::vector<Undo> undo_;
};

class PreparedEnvironment {
public:
    PreparedEnvironment(const std::vector<Variable>& variables, Problems& problems);
    ~PreparedEnvironment();
    PreparedEnvironment(const PreparedEnvironment&) = delete;
    PreparedEnvironment& operator=(const PreparedEnvironment&) = delete;

private:
    struct Saved {
        std::wstring name;
        bool existed;
        std::wstring value;
    };
    std::vector<Saved> saved_;
};

// Runs a command line and waits for it; a failed start or a non-zero exit
// code is a problem.
void RunAndWait(const std::wstring& commandLine, Problems& problems);

}  // namespace e2e
