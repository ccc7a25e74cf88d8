// Fixture of the host tests: a fresh simulated Windows for every test, and
// the check that an action released every handle it acquired.
#pragma once

#include "SimulatedWindows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace sim {
// GoogleTest prints UTF-16 texts readably.
inline void PrintTo(const Text& text, std::ostream* out) { *out << '"' << Narrow(text) << '"'; }
}  // namespace sim

class SimulatedTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(windows.OpenHandleCount(), 0u) << windows.OpenHandleReport();
    }

    sim::Text Property(const sim::Text& name) const {
        const auto found = windows.properties.find(name);
        return found == windows.properties.end() ? sim::Text() : found->second;
    }
    bool HasProperty(const sim::Text& name) const { return windows.properties.count(name) != 0; }
    std::vector<sim::Text> Shown() const {
        std::vector<sim::Text> texts;
        for (const auto& message : windows.messages) texts.push_back(message.shown);
        return texts;
    }
    // The lines written to the installation log, as the installer shows them.
    std::vector<sim::Text> LogLines() const {
        std::vector<sim::Text> lines;
        for (const auto& message : windows.messages)
            if (message.type == win::InstallMessageInfo) lines.push_back(message.shown);
        return lines;
    }
    // The command lines of the processes that started, in order.
    std::vector<sim::Text> StartedCommandLines() const {
        std::vector<sim::Text> lines;
        for (const auto& start : windows.starts) lines.push_back(start.commandLine);
        return lines;
    }
    // The command lines given to CreateProcessW, refused starts included.
    std::vector<sim::Text> AttemptedCommandLines() const {
        std::vector<sim::Text> lines;
        for (const auto& call : windows.journal)
            if (call.function == "CreateProcessW") lines.push_back(call.argument);
        return lines;
    }
    std::vector<sim::Text> WrittenNames() const {
        std::vector<sim::Text> names;
        for (const auto& write : windows.propertyWrites) names.push_back(write.name);
        return names;
    }

    sim::Windows windows;
};
