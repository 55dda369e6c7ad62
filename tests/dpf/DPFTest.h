// Shared fixture of the archive tests: an initialised library in a fresh directory, a manual clock,
// no compaction pauses, and helpers to build, read and inspect archives.
#pragma once
#include "YdxTest.h"
#include "00_Platform.h"
#include "11_DPFCache.h"
#include <string>

class DPFTest : public YdxTest {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  // A block record for AddData; `data` points into the given string.
  static DPF_BlockData Block(const char* name, const char* type, int mode, const std::string& data = "");
  // AddData of a text; its result.
  static int Add(int handle, const char* name, const char* type, int mode, const std::string& data);
  // LoadBlock's data as a string of the original size; "<failed>" when it returned no data.
  static std::string Load(int handle, const char* type, const char* name);
  static bool Logged(const std::string& text);
  // The archive header of a file, deciphered with the built-in key.
  static ydxdpf::ArchiveHeader HeaderOf(const std::string& path);
  // True when the header's CRC matches the file's blocks.
  static bool CRCMatches(const std::string& path);
  // Rewrites the header's CRC to match the blocks (for tests that damage blocks on purpose).
  static void FixCRC(const std::string& path);
  // Open as it goes when the file cannot be opened for writing: read only.
  static int OpenReadOnly(const char* path);
  // An archive with the given blocks (mode 1 unless it says otherwise), closed again.
  static void MakeArchive(const std::string& path, int blocks);
  static std::string Password() { return std::string("\x81pass\xF0word", 10); }
  static void UsePassword() {
    std::string key = Password();
    IStuffDPF->SetPassword(reinterpret_cast<const unsigned char*>(key.data()), (unsigned char)key.size());
  }
};
