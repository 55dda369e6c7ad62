// Whole-archive work: the password, Protect/UnProtect and Compact (each writes a complete new file
// beside its target and renames it over only when it is whole), the statistics, and the conversion of
// version-3.0 archives, which keeps the old file as a "_v3.dpf" backup.
#include "11_DPFCache.h"
#include "00_Platform.h"
#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace ydxdpf;

namespace {

constexpr size_t kCopyChunk = 1 << 20;   // a multiple of the 8-byte cipher unit

// A new archive file written beside its target: the header goes in last, with the CRC of every byte
// written after it, and the file replaces the target only on Commit.
class ArchiveWriter {
 public:
  bool Begin(sStuffDPFPrivate* owner, const char* target, const ArchiveHeader& header) {
    context = owner;
    uint8_t bytes[kBlocksOffset];
    SealHeader(context, header, bytes);
    return file.Begin(target) && file.Write(bytes, sizeof bytes);
  }
  bool Write(const void* data, size_t length) {
    if (!file.Write(data, length)) return false;
    crc = ExtendCRC(crc, static_cast<const uint8_t*>(data), length);
    return true;
  }
  bool Finish(ArchiveHeader header) {
    DateText(header.modified);
    header.crc = crc;
    uint8_t bytes[kBlocksOffset];
    SealHeader(context, header, bytes);
    return WriteAt(file.Descriptor(), 0, bytes, sizeof bytes);
  }
  bool Commit() { return file.Commit(); }
  void Abort() { file.Abort(); }
 private:
  sStuffDPFPrivate* context = NULL;
  ydxplat::ReplaceFile file;
  uint32_t crc = 0;
};

enum Transform { kAsStored, kEncipher, kDecipher };

// Copies the block last found (marker, header and padded data) into a new archive: as it is stored,
// or enciphered or deciphered with the archive cipher.
bool CopyFoundBlock(sStuffDPFPrivate* context, const Slot& source, ArchiveWriter& out, Transform transform) {
  uint8_t header[kBlockHeaderSize];
  memcpy(header, transform == kAsStored ? context->blockHeaderRaw : context->blockHeader, sizeof header);
  if (transform == kEncipher) context->archiveCipher.EncipherUnits(header, kBlockHeaderSize / 8);
  if (!out.Write(kBlockMarker, kMarkerSize) || !out.Write(header, sizeof header)) return false;
  int64_t remaining = PaddedSize(context->lastStoredSize);
  int64_t offset = context->scanPosition;
  std::vector<uint8_t> chunk((size_t)std::min<int64_t>(std::max<int64_t>(remaining, 8), (int64_t)kCopyChunk));
  while (remaining > 0) {
    size_t piece = (size_t)std::min<int64_t>(remaining, (int64_t)chunk.size());
    if (ReadAt(source.descriptor, offset, chunk.data(), piece) != (int64_t)piece) return false;
    if (transform == kEncipher) context->archiveCipher.EncipherUnits(chunk.data(), piece / 8);
    if (transform == kDecipher) context->archiveCipher.DecipherUnits(chunk.data(), piece / 8);
    if (!out.Write(chunk.data(), piece)) return false;
    offset += (int64_t)piece;
    remaining -= (int64_t)piece;
  }
  return true;
}

// Counts the blocks of an archive; the scan's end result (0 when it reached the end).
int CountBlocks(Yandorix_IStuffDPF& service, int handle, int* all, int* deleted, int64_t* deletedStored) {
  *all = *deleted = 0;
  *deletedStored = 0;
  DPF_BlockData found;
  int result = service.FindFirst(handle, &found);
  while (result == kScanFound) {
    (*all)++;
    if (memcmp(found.type, kDeletedType, kTypeField) == 0) {
      (*deleted)++;
      *deletedStored += found.storedsize;
    }
    result = service.FindNext(handle, &found);
  }
  return result;
}

// Puts the password back, whatever way a rewrite that keyed the cipher with another one ends.
class KeptPassword {
 public:
  explicit KeptPassword(sStuffDPFPrivate* owner) : context(owner), length(owner->passwordLength) {
    memcpy(password, owner->password, sizeof password);
  }
  ~KeptPassword() {
    memcpy(context->password, password, sizeof password);
    context->passwordLength = length;
    RekeyArchiveCipher(context);
    DropIndexes(context);
  }
 private:
  sStuffDPFPrivate* context;
  uint8_t password[kPasswordMax];
  uint8_t length;
};

// Refuses a rewrite of an archive that is open here; the file's identity when it may go on.
bool MayRewrite(sStuffDPFPrivate* context, const char* operation, const char* verb, const char* path,
                FileIdentity* identity) {
  if (!path) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('(null)')] Error: no path was given.\n", operation);
    return false;
  }
  if (!IdentityOfPath(path, identity)) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('%s')] Error: %s\n", operation, Shown(path), strerror(errno));
    return false;
  }
  if (OpenSlotOfFile(context, path)) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('%s')] Error: the given DPF is already opened. We can not %s it.\n",
                   operation, path, verb);
    return false;
  }
  return true;
}

// Copies every block of the open archive into `out`, enciphering (protect) or deciphering them.
int CopyWithProtection(Yandorix_IStuffDPF& service, sStuffDPFPrivate* context, int handle, ArchiveWriter& out,
                       bool protect) {
  Slot* slot = SlotOf(context, handle);
  DPF_BlockData found;
  int result = service.FindFirst(handle, &found);
  while (result == kScanFound) {
    if (!CopyFoundBlock(context, *slot, out, protect ? kEncipher : kDecipher)) return kScanError;
    result = service.FindNext(handle, &found);
  }
  return result;
}

// Why a key cannot be a password, or NULL when it can.
const char* KeyProblem(const unsigned char* key, unsigned char length) {
  if (!key) return "no key was given";
  if (length < kPasswordMin || length > kPasswordMax) return "a key has 8 to 56 bytes";
  return NULL;
}

int ChangeProtection(Yandorix_IStuffDPF& service, sStuffDPFPrivate* context, const char* path,
                     const unsigned char* key, unsigned char length, bool protect) {
  const char* operation = protect ? "Protect" : "UnProtect";
  FileIdentity identity;
  if (!MayRewrite(context, operation, protect ? "protect" : "unprotect", path, &identity)) return 0;
  if (const char* problem = KeyProblem(key, length)) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('%s')] Error: the key of %d bytes was refused: %s.\n", operation, path,
                   key ? length : 0, problem);
    return 0;
  }
  std::string target = DerivedPath(path, protect ? "_secure.dpf" : "_unsecure.dpf");
  if (OpenSlotOfFile(context, target.c_str())) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('%s')] Error: '%s' is opened and can not be replaced.\n", operation, path,
                   target.c_str());
    return 0;
  }
  KeptPassword kept(context);
  memcpy(context->password, key, length);
  context->passwordLength = length;
  RekeyArchiveCipher(context);
  DropIndexes(context);
  int handle = service.Open(path);
  if (handle <= 0) return 0;
  ArchiveHeader header = context->header;
  if ((header.protectedFlag != 0) == protect) {
    ILogSystem.Msg(2, " . [IStuffDPF->%s('%s')] Warning: the given DPF is already %s.\n", operation, path,
                   protect ? "protected" : "unprotected");
    service.Close(handle);
    return 0;
  }
  header.protectedFlag = protect ? 1 : 0;
  ArchiveWriter out;
  bool written = out.Begin(context, target.c_str(), header) &&
                 CopyWithProtection(service, context, handle, out, protect) == kScanEnd;
  service.Close(handle);
  if (!written) {
    out.Abort();
    if (protect)
      ILogSystem.Msg(0, " . [IStuffDPF->Protect('%s')] Error: process has failed. Try to compact the source DPF.\n",
                     path);
    else
      ILogSystem.Msg(0, " . [IStuffDPF->UnProtect('%s')] Error: process has failed. Is the password right?\n", path);
    return 0;
  }
  FileIdentity previous;
  bool existed = IdentityOfPath(target.c_str(), &previous);
  if (!out.Finish(header) || !out.Commit()) {
    ILogSystem.Msg(0, " . [IStuffDPF->%s('%s')] Error: '%s' could not be written: %s\n", operation, path,
                   target.c_str(), strerror(errno ? errno : EIO));
    return 0;
  }
  if (existed) ForgetFile(context, previous);
  ILogSystem.Msg(2, " . [IStuffDPF->%s('%s')] Info: process completed. New '%s' file created.\n", operation, path,
                 target.c_str());
  return 1;
}

}  // namespace

void Yandorix_IStuffDPF::SetPassword(const unsigned char* key, unsigned char length) {
  if (const char* problem = KeyProblem(key, length)) {
    // The password in force stays, so later loads would only say that the key was not set.
    ILogSystem.Msg(0, " . [IStuffDPF->SetPassword(%d)] Error: the key was refused: %s. The password set before "
                   "stays in force.\n", key ? length : 0, problem);
    return;
  }
  memcpy(p->password, key, length);
  p->passwordLength = length;
  RekeyArchiveCipher(p);
  DropIndexes(p);
}

int Yandorix_IStuffDPF::Protect(const char* path, const unsigned char* key, unsigned char length) {
  return ChangeProtection(*this, p, path, key, length, true);
}

int Yandorix_IStuffDPF::UnProtect(const char* path, const unsigned char* key, unsigned char length) {
  return ChangeProtection(*this, p, path, key, length, false);
}

// ---- compaction ----

namespace {

// Copies the live blocks in the current access mode, pausing after every block found; the number
// copied, or -1 when the scan or a copy failed.
int CopyLiveBlocks(Yandorix_IStuffDPF& service, sStuffDPFPrivate* context, int handle, ArchiveWriter& out) {
  Slot* slot = SlotOf(context, handle);
  int copied = 0;
  DPF_BlockData found;
  int result = service.FindFirst(handle, &found);
  while (result == kScanFound) {
    if (memcmp(found.type, kDeletedType, kTypeField) != 0) {
      if (!CopyFoundBlock(context, *slot, out, kAsStored)) return -1;
      copied++;
    }
    Pause(10);
    result = service.FindNext(handle, &found);
  }
  return result == kScanEnd ? copied : -1;
}

// The number of live blocks a compaction must keep; -1 when there is nothing to do or it must not run.
int LiveBlocksToKeep(Yandorix_IStuffDPF& service, sStuffDPFPrivate* context, int handle, const char* path) {
  char previousMode = (char)context->accessMode;
  service.SetAccessMode(0);
  int all = 0, deleted = 0;
  int64_t deletedStored = 0;
  int result = CountBlocks(service, handle, &all, &deleted, &deletedStored);
  service.SetAccessMode(previousMode);
  if (result != kScanEnd) {
    ILogSystem.Msg(0, " . [IStuffDPF->Compact('%s')] Error: the DPF could not be read through; nothing was "
                   "changed.\n", path);
    return -1;
  }
  if (deleted == 0) {
    ILogSystem.Msg(5, " . [IStuffDPF->Compact('%s')] Info: the given DPF does not need a compact process.\n", path);
    return -1;
  }
  return all - deleted;
}

}  // namespace

int Yandorix_IStuffDPF::Compact(const char* path) {
  FileIdentity identity;
  if (!MayRewrite(p, "Compact", "compact", path, &identity)) return 0;
  int handle = Open(path);
  if (handle <= 0) return 0;
  Slot* slot = SlotOf(p, handle);
  const char* refusal = NULL;
  if (slot->readOnly) refusal = " . [IStuffDPF->Compact('%s')] Error: the DPF was opened in read only mode.\n";
  if (slot->isProtected && !p->passwordLength)
    refusal = " . [IStuffDPF->Compact('%s')] Error: the given DPF is protected and the key was not set.\n";
  if (refusal) {
    ILogSystem.Msg(0, refusal, path);
    Close(handle);
    return 0;
  }
  if (p->accessMode)
    ILogSystem.Msg(2, " . [IStuffDPF->Compact('%s')] Warning: compacting with LowLevel Access is extremly slow.\n",
                   path);
  ArchiveHeader header = p->header;
  int expected = LiveBlocksToKeep(*this, p, handle, path);
  if (expected < 0) {
    Close(handle);
    return 0;
  }
  ArchiveWriter out;
  int copied = out.Begin(p, path, header) ? CopyLiveBlocks(*this, p, handle, out) : -1;
  bool finished = copied >= 0 && out.Finish(header);
  Close(handle);
  if (!finished || copied != expected) {
    out.Abort();
    ILogSystem.Msg(0, " . [IStuffDPF->Compact('%s')] Error: compacted DPF has wrong structure, aborting process.\n",
                   path);
    return 0;
  }
  if (!out.Commit()) {
    ILogSystem.Msg(0, " . [IStuffDPF->Compact('%s')] Error: it was not possible to access to given DPF. (%s).\n",
                   path, strerror(errno ? errno : EIO));
    return 0;
  }
  ForgetFile(p, identity);
  ILogSystem.Msg(5, " . [IStuffDPF->Compact('%s')] Info: process completed.\n", path);
  return 1;
}

// ---- statistics ----

int Yandorix_IStuffDPF::GetSize(int handle) {
  Slot* slot = SlotOf(p, handle);
  if (!slot) return 0;
  int64_t length = SlotLength(*slot);
  return length < 0 ? 0 : (int)(length / 1024);
}

int Yandorix_IStuffDPF::GetNumBlocks(int handle) {
  int all, deleted;
  int64_t deletedStored;
  if (!SlotOf(p, handle) || CountBlocks(*this, handle, &all, &deleted, &deletedStored) != kScanEnd) return -1;
  return all;
}

int Yandorix_IStuffDPF::GetNumDelBlocks(int handle) {
  int all, deleted;
  int64_t deletedStored;
  if (!SlotOf(p, handle) || CountBlocks(*this, handle, &all, &deleted, &deletedStored) != kScanEnd) return -1;
  return deleted;
}

int Yandorix_IStuffDPF::GetFragment(int handle) {
  Slot* slot = SlotOf(p, handle);
  int all, deleted;
  int64_t deletedStored;
  if (!slot || CountBlocks(*this, handle, &all, &deleted, &deletedStored) != kScanEnd) return -1;
  int64_t length = SlotLength(*slot);
  if (length <= 0) return -1;
  return (int)(100 - deletedStored * 100 / length);
}

// ---- version-3.0 conversion ----

namespace {

// Sequential reads through a buffer, for the version-3.0 file that is read once from front to back.
class BufferedReader {
 public:
  // The buffer never exceeds the file it reads.
  BufferedReader(int descriptor, int64_t offset, int64_t fileLength)
      : fd(descriptor), position(offset), buffer((size_t)std::max<int64_t>(1, std::min<int64_t>(fileLength, 1 << 16))) {}
  // Bytes read into `out` (fewer only at the end of the file), or -1 on a read error.
  int64_t Read(void* out, size_t length) {
    uint8_t* to = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < length) {
      if (begin == end && !Refill()) return failed ? -1 : (int64_t)done;
      size_t piece = std::min(length - done, end - begin);
      memcpy(to + done, buffer.data() + begin, piece);
      begin += piece;
      done += piece;
    }
    return (int64_t)done;
  }
  int64_t Position() const { return position - (int64_t)(end - begin); }
 private:
  bool Refill() {
    int64_t got = ReadAt(fd, position, buffer.data(), buffer.size());
    failed = got < 0;
    if (got <= 0) return false;
    position += got;
    begin = 0;
    end = (size_t)got;
    return true;
  }
  int fd;
  int64_t position;
  std::vector<uint8_t> buffer;
  size_t begin = 0, end = 0;
  bool failed = false;
};

enum V3Step { kV3Block, kV3End, kV3Failed };

// Reads one version-3.0 block head; its fields in `header`, or why it cannot go on.
V3Step ReadV3Head(BufferedReader& in, int64_t fileLength, const char* path, BlockHeader* header) {
  uint8_t marker[kV3MarkerSize];
  int64_t got = in.Read(marker, sizeof marker);
  if (got == 0) return kV3End;
  if (got != (int64_t)sizeof marker) {
    ILogSystem.Msg(0, " . [IStuffDPF->Update3to4('%s')] Error: header block does not match.\n", path);
    return kV3Failed;
  }
  static const uint8_t kDotted[] = ".BlockData.";
  static const uint8_t kFramed[] = "\xB7" "BlockData" "\xB7";
  if (memcmp(marker, kDotted, sizeof marker) != 0 && memcmp(marker, kFramed, sizeof marker) != 0) {
    ILogSystem.Msg(0, " . [IStuffDPF->Update3to4('%s')] Error: header block does not match.\n", path);
    return kV3Failed;
  }
  uint8_t fields[kV3BlockFields];
  bool whole = in.Read(fields, sizeof fields) == (int64_t)sizeof fields;
  memset(header, 0, sizeof *header);
  memcpy(header->name, fields, kNameField - 1);
  memcpy(header->type, fields + kNameField, kV3TypeField);
  header->mode = fields[kNameField + kV3TypeField];
  header->size = (int32_t)GetU32(fields + kNameField + kV3TypeField + 1);
  header->storedSize = (int32_t)GetU32(fields + kNameField + kV3TypeField + 5);
  if (!whole || !BlockSizesValid(header->mode, header->size, header->storedSize, fileLength - in.Position())) {
    ILogSystem.Msg(0, " . [IStuffDPF->Update3to4('%s')] Error: data block is corrupted.\n", path);
    return kV3Failed;
  }
  return kV3Block;
}

// Moves `length` data bytes from the old file to the new one (or past them when `out` is NULL), then
// the zero padding of the new format.
bool CopyV3Data(BufferedReader& in, ArchiveWriter* out, int64_t storedSize) {
  std::vector<uint8_t> chunk((size_t)std::min<int64_t>(std::max<int64_t>(storedSize, 8), (int64_t)kCopyChunk));
  int64_t length = storedSize;
  while (length > 0) {
    size_t piece = (size_t)std::min<int64_t>(length, (int64_t)chunk.size());
    if (in.Read(chunk.data(), piece) != (int64_t)piece) return false;
    if (out && !out->Write(chunk.data(), piece)) return false;
    length -= (int64_t)piece;
  }
  static const uint8_t kZeros[8] = {0};
  return !out || out->Write(kZeros, (size_t)(PaddedSize(storedSize) - storedSize));
}

// Converts every live block; the number imported, or -1.
int ImportV3Blocks(int fd, ArchiveWriter& out, const char* path) {
  int64_t fileLength = ydxplat::FileLength(fd);
  BufferedReader in(fd, kV3HeaderSize, fileLength);
  int imported = 0;
  for (;;) {
    BlockHeader header;
    V3Step step = ReadV3Head(in, fileLength, path, &header);
    if (step == kV3End) return imported;
    if (step == kV3Failed) return -1;
    if (strcmp(header.type, "DELE") == 0) {
      if (!CopyV3Data(in, NULL, header.storedSize)) return -1;
      continue;
    }
    uint8_t bytes[kBlockHeaderSize];
    EncodeBlockHeader(header, bytes);
    const char* failure = NULL;
    if (!out.Write(kBlockMarker, kMarkerSize))
      failure = " . [IStuffDPF->Update3to4('%s')] Error: new ID block is corrupted.\n";
    else if (!out.Write(bytes, sizeof bytes))
      failure = " . [IStuffDPF->Update3to4('%s')] Error: new header block is corrupted.\n";
    else if (!CopyV3Data(in, &out, header.storedSize))
      failure = " . [IStuffDPF->Update3to4('%s')] Error: new data block is corrupted.\n";
    if (failure) {
      ILogSystem.Msg(0, failure, path);
      return -1;
    }
    imported++;
    ILogSystem.Msg(2, " . [IStuffDPF->Update3to4('%s')] Info: imported block %d - Name '%s' - Type '%s' - Size %d "
                   "Kb\n", path, imported, header.name, header.type, header.storedSize / 1024);
  }
}

// The version-4.0 header for a converted file: the old copyright and creation date, new filler.
bool ConvertedHeader(sStuffDPFPrivate* context, int fd, ArchiveHeader* header) {
  uint8_t old[kV3HeaderSize];
  if (ReadAt(fd, 0, old, sizeof old) != (int64_t)sizeof old) return false;
  char copyright[29], created[32];
  memcpy(copyright, old + 8, sizeof copyright);
  copyright[sizeof copyright - 1] = '\0';
  memcpy(created, old + 37, sizeof created);
  created[sizeof created - 1] = '\0';
  MakeHeader(context, header, copyright, created);
  return true;
}

}  // namespace

namespace ydxdpf {

int Update3to4(Yandorix_IStuffDPF& service, const char* path) {
  sStuffDPFPrivate* context = Yandorix_StuffDPFAccess::Of(service);
  int fd = ydxplat::Open(path, ydxplat::kRead);
  if (fd < 0) return -1;
  ArchiveHeader header;
  ArchiveWriter out;
  if (!ConvertedHeader(context, fd, &header) || !out.Begin(context, path, header)) {
    ydxplat::Close(fd);
    return -1;
  }
  ILogSystem.Msg(2, "\n . [IStuffDPF->Update3to4('%s')] Info: creating new DPF v4.0...\n", path);
  int imported = ImportV3Blocks(fd, out, path);
  ydxplat::Close(fd);
  if (imported < 0 || !out.Finish(header)) return -1;
  ILogSystem.Msg(2, " . [IStuffDPF->Update3to4('%s')] Info: total blocks imported: %d\n", path, imported);
  // The old file keeps a second name before the new one takes its place, so it is never missing.
  std::string backup = DerivedPath(path, "_v3.dpf");
  // A conversion killed after this step left the backup as a second name of the file itself.
  bool linked = ydxplat::Link(path, backup.c_str()) == 0 || (errno == EEXIST && ydxplat::SameFile(path, backup.c_str()));
  if (!linked) {
    ILogSystem.Msg(0, " . [IStuffDPF->Update3to4('%s')] Error: the backup '%s' could not be made: %s\n", path,
                   backup.c_str(), strerror(errno));
    return -1;
  }
  if (!out.Commit()) {
    int savedErrno = errno;
    ydxplat::Remove(backup.c_str());
    ILogSystem.Msg(0, " . [IStuffDPF->Update3to4('%s')] Error: the new DPF could not replace the old one: %s\n",
                   path, strerror(savedErrno));
    return -1;
  }
  ILogSystem.Msg(2, "   - Original DPF v3.0 was renamed to %s\n\n", backup.c_str());
  fd = ydxplat::Open(path, ydxplat::kReadWrite);
  if (fd < 0 || ReadAt(fd, 0, context->signature, kSignatureSize) != kSignatureSize) {
    ydxplat::Close(fd);
    return -1;
  }
  return fd;
}

}  // namespace ydxdpf
