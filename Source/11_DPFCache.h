// Private state of the archive service: the 32-slot cache of open and remembered archive files, the
// shared header and scan buffers, the ciphers and the password, plus the helpers that the block,
// maintenance and migration code share with the cache.
#pragma once
#include "01_Main.h"
#include "10_DPFFormat.h"
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace ydxdpf {

constexpr int kSlots = 32;

// What a scan reports: FindFirst, FindNext and Search return these values.
enum ScanResult { kScanEnd = 0, kScanFound = 1, kScanError = 2 };

// Where a file lives, so that two spellings of one path are one archive.
struct FileIdentity {
  bool known = false;
  dev_t device = 0;
  ino_t inode = 0;
  int64_t length = 0;
  int64_t modifiedNs = 0;
  bool SameFile(const FileIdentity& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};
bool IdentityOfDescriptor(int fd, FileIdentity* identity);
bool IdentityOfPath(const char* path, FileIdentity* identity);

// Marker offsets of the blocks by name and type, built by one scan so that loading every block of a
// large archive stays linear. Valid only for normal access; dropped whenever it may be stale.
struct BlockIndex {
  bool built = false;
  int endResult = 0;                                   // what the building scan ended with (0 or 2)
  std::unordered_map<std::string, int64_t> first;      // name '\0' type -> marker offset
  void Clear() {
    built = false;
    endResult = 0;
    first.clear();
  }
};
std::string IndexKey(const char* name, const char* type);

struct Slot {
  int descriptor = -1;        // -1: no open file
  int handle = 0;             // 0: closed
  int isProtected = 0;
  bool readOnly = false;
  std::string path;           // as the caller first gave it
  int64_t fileSize = 0;       // 0: never used
  int modified = 0;
  int references = 0;
  uint32_t crc = 0;           // CRC-32 of the file from offset 520, kept current by every write
  int64_t committedEnd = -1;  // read only: where the archive ends before an uncommitted tail; -1 none
  bool repairPending = false; // read only: an interrupted change is to be undone once it is writable
  FileIdentity identity;      // device and inode; length and time as last seen by the cache
  BlockIndex index;
};

}  // namespace ydxdpf

struct sStuffDPFPrivate {
  ydxdpf::Cipher archiveCipher;   // the password's, or the header key's until one is set
  ydxdpf::Cipher headerCipher;
  ydxdpf::Slot slots[ydxdpf::kSlots];
  int nextHandle = 1;
  int replaceIndex = 0;
  char signature[ydxdpf::kSignatureSize + 1] = {0};
  ydxdpf::ArchiveHeader header = {};                  // the shared header image, deciphered
  uint8_t blockHeader[ydxdpf::kBlockHeaderSize] = {0};     // last block header found, deciphered
  uint8_t blockHeaderRaw[ydxdpf::kBlockHeaderSize] = {0};  // the same as it is in the file
  uint8_t password[ydxdpf::kPasswordMax] = {0};
  uint8_t passwordLength = 0;
  int64_t scanPosition = 0;       // first data byte of the block last found
  int32_t lastStoredSize = 0;
  uint8_t accessMode = 0;         // 0 normal, 1 low-level
  ydxdpf::Random random;
  std::vector<uint8_t> scanBuffer;
};

struct Yandorix_StuffDPFAccess {
  static sStuffDPFPrivate* Of(Yandorix_IStuffDPF& service) { return service.p; }
};

namespace ydxdpf {

// Texts for log lines that may be handed a null pointer.
inline const char* Shown(const char* text) { return text ? text : "(null)"; }

Slot* SlotOf(sStuffDPFPrivate* context, int handle);       // the open slot of a handle, or NULL
Slot* OpenSlotOfFile(sStuffDPFPrivate* context, const char* path);   // NULL when not open here
void ForgetFile(sStuffDPFPrivate* context, const FileIdentity& identity);
void DropIndexes(sStuffDPFPrivate* context);

// Reads `length` bytes at `offset`; the count read (short at end of file) or -1.
int64_t ReadAt(int fd, int64_t offset, void* buffer, size_t length);
bool WriteAt(int fd, int64_t offset, const void* buffer, size_t length);

// CRC-32 of the file from offset 520 to its end, streamed; false (with an Error line) on a read error.
bool CalculateCRC(int fd, uint32_t* crc);
// The archive's length as its blocks see it: the file's, or less for a read-only archive that ends in
// the tail of an interrupted write.
int64_t SlotLength(const Slot& slot);

// The stored CRC is the commit record of every change: an append is committed once the header's CRC
// covers it, a deletion once the header's CRC has the block deleted (the header goes out first).
// For an archive whose bytes do not match its CRC, this finds the committed state an interrupted
// change left: the file up to the start of an uncommitted tail, or the file with an unfinished
// deletion completed. It brings the file there (or, read only, the view of it: `committedEnd`) and
// logs a Warning; false when there is no such state, that is when the archive is damaged.
struct RecoveredView {
  int64_t committedEnd = -1;    // read only: the archive ends here, before an uncommitted tail
  bool repairPending = false;   // read only: the file still holds the interrupted change
};
bool RecoverArchive(sStuffDPFPrivate* context, int fd, const char* path, bool readOnly, RecoveredView* view);
// Rewrites the slot's header on disk with the current date and the slot's CRC; false on any failure.
bool WriteHeaderBack(sStuffDPFPrivate* context, Slot& slot, bool sync);
// A new header: copyright and creation date as given (now when NULL), filler from the generator.
void MakeHeader(sStuffDPFPrivate* context, ArchiveHeader* header, const char* copyright,
                const char* created);
// The 8 signature bytes and the enciphered header, ready to write at offset 0.
void SealHeader(sStuffDPFPrivate* context, const ArchiveHeader& header,
                uint8_t out[kSignatureSize + kHeaderSize]);
void DumpCacheTable(sStuffDPFPrivate* context);

// The archive cipher keyed with the password, or with the header key while none is set.
void RekeyArchiveCipher(sStuffDPFPrivate* context);

// Stores `block` in place of the live blocks of its name and type. The new block is appended first and
// the old ones are deleted after it, the newest first, so that at every moment the first live block of
// that name and type (the one every lookup finds) is the last one completely stored, or the new one
// once it is complete: a crash in the middle never loses the previous version. The stored size, or 0
// after logging why (the new block may then stand behind the old one, which lookups still find).
int ReplaceBlock(Yandorix_IStuffDPF& service, int handle, DPF_BlockData* block);

// Converts a version-3.0 archive in place; the open descriptor of the new file (positioned after its
// signature), or -1.
int Update3to4(Yandorix_IStuffDPF& service, const char* path);

// Compaction's pause per block (SDL_Delay unless a test replaces it).
void SetPauseFunction(void (*pause)(Uint32 ms));
void Pause(Uint32 ms);

}  // namespace ydxdpf
