// The shared library's dynamic symbol table holds the public interface and nothing else: what the public
// headers mark YDX_API. An internal helper left visible could be replaced by an application's function of
// the same name, and every internal change would become a change of the library's binary interface.
#include "YdxTest.h"
#include <dirent.h>
#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

namespace {

struct PublicNames {
  std::set<std::string> classes;   // every member, the vtable and the typeinfo are public
  std::set<std::string> plain;     // global objects and functions
};

// What the public headers mark for export: `class YDX_API Name`, `extern YDX_API Type Name;`,
// `YDX_API int Name(...)` and `extern YDX_API Type (*Name)(...)`.
PublicNames ReadPublicHeaders() {
  PublicNames names;
  std::vector<std::string> headers = {YDX_SOURCE_DIR "/include/Yandorix.h"};
  if (DIR* dir = opendir(YDX_SOURCE_DIR "/include/yandorix")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') headers.push_back(std::string(YDX_SOURCE_DIR "/include/yandorix/") + entry->d_name);
    closedir(dir);
  }
  const std::regex exportedClass(R"(\b(?:class|struct)\s+YDX_API\s+(\w+))");
  const std::regex declaredName(R"(\(\s*\*\s*(\w+)\s*\)|(\w+)\s*[(;])");
  for (const std::string& header : headers) {
    std::istringstream text(ydxtest::ReadFile(header));
    for (std::string line; std::getline(text, line);) {
      line = line.substr(0, line.find("//"));
      if (line.find("YDX_API") == std::string::npos || line.find("#define") != std::string::npos) continue;
      std::smatch match;
      if (std::regex_search(line, match, exportedClass)) names.classes.insert(match[1]);
      else if (std::regex_search(line, match, declaredName)) names.plain.insert(match[1].matched ? match[1] : match[2]);
    }
  }
  return names;
}

// The demangled names of the library's defined symbols: its dynamic table, or with `dynamic` false all.
std::vector<std::string> LibrarySymbols(bool dynamic) {
  std::string command = std::string("nm -C --defined-only ") + (dynamic ? "-D " : "") + "'" YDX_SHARED_LIBRARY "'";
  std::vector<std::string> symbols;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return symbols;
  char line[8192];
  while (fgets(line, sizeof line, pipe)) {
    std::string text(line), address, type;
    std::istringstream fields(text);
    fields >> address >> type;   // then the name, which may hold blanks
    std::string name;
    std::getline(fields >> std::ws, name);
    if (!name.empty()) symbols.push_back(name.substr(0, name.find('@')));
  }
  pclose(pipe);
  return symbols;
}

bool StartsWith(const std::string& text, const std::string& lead) { return text.compare(0, lead.size(), lead) == 0; }

// A global object or C function by its own name, or a C++ function by its name and argument list.
bool IsNamed(const std::string& symbol, const std::string& name) {
  return symbol == name || StartsWith(symbol, name + "(");
}

bool IsPublic(const std::string& symbol, const PublicNames& names) {
  if (symbol[0] == '_') return true;   // reserved names belong to the toolchain (_edata, __bss_start)
  for (const std::string& name : names.plain)
    if (IsNamed(symbol, name)) return true;
  for (const std::string& name : names.classes) {
    if (StartsWith(symbol, name + "::")) return true;
    for (std::string record : {"vtable for ", "typeinfo for ", "typeinfo name for ", "VTT for "})
      if (symbol == record + name) return true;
    for (std::string thunk : {"non-virtual thunk to ", "virtual thunk to "})
      if (StartsWith(symbol, thunk + name + "::")) return true;
  }
  return false;
}

template <typename Test> bool Any(const std::vector<std::string>& symbols, Test test) {
  for (const std::string& symbol : symbols)
    if (test(symbol)) return true;
  return false;
}

}  // namespace

TEST(ExportsTest, TheSharedLibraryExportsNothingButThePublicInterface) {
  PublicNames names = ReadPublicHeaders();
  ASSERT_TRUE(names.classes.count("Yandorix_Main") && names.classes.count("cConsole"));
  ASSERT_TRUE(names.plain.count("Yandorix") && names.plain.count("Yandorix_memcpy") &&
              names.plain.count("CPU_GetString"));
  std::vector<std::string> exported = LibrarySymbols(true);
  ASSERT_GT(exported.size(), names.plain.size()) << "nm found no dynamic symbols in " YDX_SHARED_LIBRARY;
  std::string offenders;
  for (const std::string& symbol : exported)
    if (!IsPublic(symbol, names)) offenders += "  " + symbol + "\n";
  EXPECT_TRUE(offenders.empty()) << "exported but not part of the public interface:\n" << offenders;
}

TEST(ExportsTest, EveryPublicNameIsExportedWithTheTypeInformationOfItsClass) {
  PublicNames names = ReadPublicHeaders();
  std::vector<std::string> exported = LibrarySymbols(true), all = LibrarySymbols(false);
  for (const std::string& name : names.plain)
    EXPECT_TRUE(Any(exported, [&](const std::string& s) { return IsNamed(s, name); })) << name;
  for (const std::string& name : names.classes) {
    EXPECT_TRUE(Any(exported, [&](const std::string& s) { return StartsWith(s, name + "::"); })) << name;
    // Applications deriving from a class with virtual functions need its vtable and typeinfo.
    for (std::string record : {"vtable for ", "typeinfo for "}) {
      auto isRecord = [&](const std::string& s) { return s == record + name; };
      if (Any(all, isRecord)) {
        EXPECT_TRUE(Any(exported, isRecord)) << record << name;
      }
    }
  }
}
