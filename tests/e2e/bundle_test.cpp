// What the release bundle holds beside the course: the answers/ files, whose
// every address a learner's tool would load must be the one the build's map
// gives, and the programs' version resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "kestravo_version.h"
#include "tests/e2e/program.h"

namespace {

struct Format {
  const char* suffix;
  // One symbol per matching line: its name, its address text, and whether
  // that address is an offset from the module's base.
  std::regex line;
  int name_group;
  int address_group;
  bool offset;
};

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {".x64dbg.txt", std::regex(R"re(^lbl mod\.main\(\)\+([0-9A-F]+), "(\w+)"$)re"), 2, 1, true},
      {".ghidra.txt", std::regex(R"re(^(\w+) ([0-9A-F]{8}) [fl]$)re"), 1, 2, false},
      {".ce.lua", std::regex(R"re(^registerSymbol\("(\w+)", "[\w-]+\.exe\+([0-9A-F]+)", true\)$)re"), 1, 2,
       true},
  };
  return formats;
}

const char* const kPracticeRoutines[] = {"NormalAttack", "OnButton2Click", "Magic",
                                         "OnButton3Click", "GroupAttack", "GroupAttackSend",
                                         "Death", "DeathRoutine"};

class AnswerFilesTest : public ::testing::TestWithParam<kvtest::Build> {};

TEST_P(AnswerFilesTest, EveryAddressIsTheMapsAndEveryPracticeRoutineIsThere) {
  const kvtest::Build& build = GetParam();
  const std::vector<kvtest::MapSymbol> symbols = kvtest::ReadMapSymbols(build.map);
  ASSERT_FALSE(symbols.empty());
  const std::string stem = kvtest::Gbk(build.module.substr(0, build.module.rfind(L'.')));
  for (const Format& format : Formats()) {
    const std::string path = std::string(KESTRAVO_ANSWERS) + "\\" + stem + format.suffix;
    SCOPED_TRACE(path);
    std::ifstream file(path);
    ASSERT_TRUE(file.good());
    std::set<std::string> names;
    for (std::string line; std::getline(file, line);) {
      std::smatch match;
      if (!std::regex_match(line, match, format.line)) {
        // Anything else is a comment of the tool's own syntax.
        EXPECT_TRUE(line.rfind("//", 0) == 0 || line.rfind("--", 0) == 0) << line;
        continue;
      }
      const std::string name = match[format.name_group];
      const uint32_t written = std::stoul(match[format.address_group], nullptr, 16);
      const uint32_t in_map = kvtest::SymbolAddress(symbols, name);
      ASSERT_NE(in_map, 0u) << name << " is not in the map";
      EXPECT_EQ(written, format.offset ? in_map - build.map_base : in_map) << name;
      names.insert(name);
    }
    for (const char* routine : kPracticeRoutines) EXPECT_EQ(names.count(routine), 1u) << routine;
  }
}

// The builds whose files ship (the moved copy is the tests' own).
std::vector<kvtest::Build> BundledBuilds() {
  std::vector<kvtest::Build> builds;
  for (const kvtest::Build& build : kvtest::ShippedBuilds()) {
    if (build.name != "aslr_moved") builds.push_back(build);
  }
  return builds;
}

INSTANTIATE_TEST_SUITE_P(Builds, AnswerFilesTest, ::testing::ValuesIn(BundledBuilds()),
                         [](const auto& info) { return info.param.name; });

// File properties show the version the build was made as, and the file's own name.
TEST(VersionResourceTest, EachProgramCarriesTheBuildsVersion) {
  for (const kvtest::Build& build : BundledBuilds()) {
    SCOPED_TRACE(build.name);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(build.exe.c_str(), &ignored);
    ASSERT_NE(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(build.exe.c_str(), 0, size, info.data()));
    auto text = [&info](const wchar_t* name) {
      wchar_t* value = nullptr;
      UINT length = 0;
      const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
      return VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)
                 ? std::wstring(value)
                 : std::wstring();
    };
    EXPECT_EQ(text(L"ProductVersion"), KESTRAVO_VERSION_W);
    EXPECT_EQ(text(L"FileVersion"), KESTRAVO_VERSION_W);
    EXPECT_EQ(text(L"OriginalFilename"), build.module);
  }
}

}  // namespace
