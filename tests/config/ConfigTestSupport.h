// Helpers for the configuration tests: each test runs in a fresh working directory of its
// own, since the default file is always written to "config.ini" there.
#pragma once

#include "program/config/Cinits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class ConfigDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The working directory the test runs in.
    std::string dir;

private:
    std::string previousDir;
};

void WriteFile(const std::string& name, const std::string& bytes);
// The file's bytes, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& name);

// Writes `text` to "config.ini", then opens, loads and closes it with `config`.
bool LoadText(CInits& config, const std::string& text);

// The six lines of a new default file.
extern const char* const DefaultFileText;

bool operator==(const Item& a, const Item& b);
void PrintTo(const Item& item, std::ostream* out);
