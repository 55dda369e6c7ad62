// The archive service's handles and its cache of 32 open or remembered archive files: Open, Create,
// Close, Flush, the header getters and the header write-back that keeps the stored CRC current.
#include "11_DPFCache.h"
#include "00_Platform.h"
#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace ydxdpf;

namespace ydxdpf {

bool IdentityOfDescriptor(int fd, FileIdentity* identity) {
  struct stat st;
  identity->known = fd >= 0 && ydxplat::FileStat(fd, &st) == 0;
  if (!identity->known) return false;
  identity->device = st.st_dev;
  identity->inode = st.st_ino;
  identity->length = (int64_t)st.st_size;
  identity->modifiedNs = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool IdentityOfPath(const char* path, FileIdentity* identity) {
  struct stat st;
  identity->known = path && ydxplat::Stat(path, &st) == 0;
  if (!identity->known) return false;
  identity->device = st.st_dev;
  identity->inode = st.st_ino;
  identity->length = (int64_t)st.st_size;
  identity->modifiedNs = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

std::string IndexKey(const char* name, const char* type) {
  std::string key(name);
  key.push_back('\0');
  key.append(type);
  return key;
}

Slot* SlotOf(sStuffDPFPrivate* context, int handle) {
  if (handle <= 0) return NULL;
  for (Slot& slot : context->slots)
    if (slot.handle == handle && slot.descriptor >= 0) return &slot;
  return NULL;
}

Slot* OpenSlotOfFile(sStuffDPFPrivate* context, const char* path) {
  FileIdentity identity;
  if (!IdentityOfPath(path, &identity)) return NULL;
  for (Slot& slot : context->slots)
    if (slot.descriptor >= 0 && slot.identity.SameFile(identity)) return &slot;
  return NULL;
}

void ForgetFile(sStuffDPFPrivate* context, const FileIdentity& identity) {
  for (Slot& slot : context->slots)
    if (slot.descriptor < 0 && slot.identity.SameFile(identity)) slot.identity.known = false;
}

void DropIndexes(sStuffDPFPrivate* context) {
  for (Slot& slot : context->slots) slot.index.Clear();
}

int64_t ReadAt(int fd, int64_t offset, void* buffer, size_t length) {
  if (ydxplat::Seek(fd, offset, SEEK_SET) != offset) return -1;
  return ydxplat::Read(fd, buffer, length);
}

bool WriteAt(int fd, int64_t offset, const void* buffer, size_t length) {
  if (ydxplat::Seek(fd, offset, SEEK_SET) != offset) return false;
  return ydxplat::Write(fd, buffer, length) == (int64_t)length;
}

bool CalculateCRC(int fd, uint32_t* crc) {
  static const size_t kChunk = 1 << 20;
  int64_t length = ydxplat::FileLength(fd);
  int64_t remaining = length - kBlocksOffset;
  std::vector<uint8_t> buffer((size_t)std::max<int64_t>(1, std::min<int64_t>(remaining, (int64_t)kChunk)));
  uint32_t value = 0;
  bool ok = length >= kBlocksOffset && ydxplat::Seek(fd, kBlocksOffset, SEEK_SET) == kBlocksOffset;
  errno = 0;
  while (ok && remaining > 0) {
    size_t want = (size_t)std::min<int64_t>(remaining, (int64_t)buffer.size());
    int64_t got = ydxplat::Read(fd, buffer.data(), want);
    if (got != (int64_t)want) {
      ok = false;
      break;
    }
    value = ExtendCRC(value, buffer.data(), want);
    remaining -= got;
  }
  if (!ok) {
    ILogSystem.Msg(0, " . [IStuffDPF->CalculateCRC('%d')] Error: %s\n", fd, strerror(errno ? errno : EIO));
    return false;
  }
  *crc = value;
  return true;
}

bool WriteHeaderBack(sStuffDPFPrivate* context, Slot& slot, bool sync) {
  if (slot.descriptor < 0 || slot.readOnly) return false;
  uint8_t bytes[kHeaderSize];
  if (ReadAt(slot.descriptor, kHeaderOffset, bytes, kHeaderSize) != kHeaderSize) return false;
  context->headerCipher.DecipherUnits(bytes, kHeaderSize / 8);
  DecodeArchiveHeader(bytes, &context->header);
  DateText(context->header.modified);
  context->header.crc = slot.crc;
  EncodeArchiveHeader(context->header, bytes);
  context->headerCipher.EncipherUnits(bytes, kHeaderSize / 8);
  if (!WriteAt(slot.descriptor, kHeaderOffset, bytes, kHeaderSize)) return false;
  if (sync && ydxplat::Commit(slot.descriptor) != 0) return false;
  slot.modified = 0;
  return true;
}

void MakeHeader(sStuffDPFPrivate* context, ArchiveHeader* header, const char* copyright,
                const char* created) {
  memset(header, 0, sizeof *header);
  strncpy(header->copyright, copyright ? copyright : Yandorix.GetCopyright(), sizeof header->copyright - 1);
  DateText(header->modified);
  if (created)
    strncpy(header->created, created, sizeof header->created - 1);
  else
    memcpy(header->created, header->modified, sizeof header->created);
  context->random.Seed(Yandorix_Ticks());
  for (uint8_t& byte : header->filler) byte = (uint8_t)(context->random.Next() % 255);
}

void SealHeader(sStuffDPFPrivate* context, const ArchiveHeader& header,
                uint8_t out[kSignatureSize + kHeaderSize]) {
  memcpy(out, kSignatureV4, kSignatureSize);
  EncodeArchiveHeader(header, out + kSignatureSize);
  context->headerCipher.EncipherUnits(out + kSignatureSize, kHeaderSize / 8);
}

void DumpCacheTable(sStuffDPFPrivate* context) {
  ILogSystem.Msg(0, " . [IStuffDPF->DumpCacheTable()] Info: dumping DPF cached table:\n");
  for (int i = 0; i < kSlots; i++) {
    const Slot& slot = context->slots[i];
    ILogSystem.Msg(0, "      -> Slot %d: %d - %d - '%s' - %d - %d - %d - %d\n", i, slot.handle, slot.descriptor,
                   slot.path.c_str(), (int)slot.fileSize, slot.isProtected, slot.modified, slot.references);
  }
  ILogSystem.Msg(0, "\n");
}

void RekeyArchiveCipher(sStuffDPFPrivate* context) {
  // Without a password the archive cipher falls back to the header key (never an empty key).
  if (context->passwordLength)
    context->archiveCipher.SetKey(context->password, context->passwordLength);
  else
    KeyWithHeaderKey(&context->archiveCipher);
}

static void (*pauseFunction)(Uint32) = SDL_Delay;
void SetPauseFunction(void (*pause)(Uint32 ms)) { pauseFunction = pause ? pause : SDL_Delay; }
void Pause(Uint32 ms) { pauseFunction(ms); }

}  // namespace ydxdpf

// ---- construction ----

Yandorix_IStuffDPF::Yandorix_IStuffDPF() {
  p = new sStuffDPFPrivate();
  p->random.Seed(Yandorix_Ticks());
  do {
    p->nextHandle = (int)(p->random.Next() % 333666);
  } while (p->nextHandle < 1);
  KeyWithHeaderKey(&p->headerCipher);
  KeyWithHeaderKey(&p->archiveCipher);
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz created.\n");
}

// The last reference (or a forced close) writes a modified header back and closes the file; the slot
// keeps the file's identity so a later Open of the unchanged file skips the CRC check.
static void CloseSlot(sStuffDPFPrivate* context, Slot& slot, bool force) {
  slot.references--;
  if (slot.references > 0 && !force) return;
  if (slot.modified && !WriteHeaderBack(context, slot, true))
    ILogSystem.Msg(0, " . [IStuffDPF->Close(%d)] Error: the header of '%s' could not be written: %s\n",
                   slot.handle, slot.path.c_str(), strerror(errno ? errno : EIO));
  IdentityOfDescriptor(slot.descriptor, &slot.identity);
  if (slot.identity.known) slot.fileSize = slot.identity.length;
  ydxplat::Close(slot.descriptor);
  slot.descriptor = -1;
  slot.modified = 0;
  slot.isProtected = 0;
  slot.handle = 0;
  slot.references = 0;
  slot.readOnly = false;
  // The block index stays: it is used again only if the file comes back unchanged.
}

Yandorix_IStuffDPF::~Yandorix_IStuffDPF() {
  for (Slot& slot : p->slots) {
    if (slot.handle == 0 || slot.descriptor < 0) continue;
    ILogSystem.Msg(2, " . [IStuffDPF] Warning: '%s' DPF file was not closed on your code. Doing it now!\n",
                   slot.path.c_str());
    CloseSlot(p, slot, true);
  }
  delete p;
  p = NULL;
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz deleted.\n");
}

// ---- the cache ----

// The slot that already knows this file: open, or closed while the file kept its length and time.
static Slot* KnownSlot(sStuffDPFPrivate* context, const FileIdentity& identity) {
  for (Slot& slot : context->slots) {
    if (!slot.identity.SameFile(identity)) continue;
    if (slot.descriptor >= 0) return &slot;
    if (slot.identity.length == identity.length && slot.identity.modifiedNs == identity.modifiedNs)
      return &slot;
  }
  return NULL;
}

// A never-used slot first; once all have been used, the next closed one from the replacement index.
static Slot* ChooseSlot(sStuffDPFPrivate* context) {
  for (Slot& slot : context->slots)
    if (slot.fileSize == 0) return &slot;
  int start = context->replaceIndex;
  for (int step = 0; step < kSlots; step++) {
    Slot& slot = context->slots[(start + step) % kSlots];
    if (slot.handle != 0) continue;
    context->replaceIndex = (start + 1) % kSlots;
    return &slot;
  }
  ILogSystem.Msg(2, " . [IStuffDPF] Warning: reached maximum limit of DPF files opened(%d).\n", kSlots);
  return NULL;
}

static int TakeHandle(sStuffDPFPrivate* context) {
  int handle = context->nextHandle++;
  if (context->nextHandle <= 0) context->nextHandle = 1;
  return handle;
}

// Enters an opened, checked file into the cache; its handle, or 0 when every slot is open.
static int CacheInsert(sStuffDPFPrivate* context, int fd, const char* path, const FileIdentity& identity,
                       uint32_t crc, bool readOnly, const RecoveredView& view) {
  Slot* slot = KnownSlot(context, identity);
  if (!slot) {
    slot = ChooseSlot(context);
    if (!slot) return 0;
    slot->path = path;
    slot->references = 0;
    slot->descriptor = -1;
    slot->index.Clear();
  }
  if (slot->descriptor >= 0) {
    // Already open: keep one descriptor, the writable one when there is a choice.
    if (slot->readOnly && !readOnly) {
      ydxplat::Close(slot->descriptor);
      slot->descriptor = fd;
      slot->readOnly = false;
    } else {
      ydxplat::Close(fd);
    }
  } else {
    slot->descriptor = fd;
    slot->readOnly = readOnly;
    slot->modified = 0;
    slot->handle = TakeHandle(context);
    slot->crc = crc;
  }
  slot->identity = identity;
  slot->fileSize = identity.length;
  slot->committedEnd = view.committedEnd;
  slot->repairPending = view.repairPending;
  slot->references++;
  slot->isProtected = context->header.protectedFlag ? 1 : 0;
  return slot->handle;
}

// ---- Open ----

static int RefuseOpen(int fd, const char* format, const char* path, const char* extra = NULL) {
  ydxplat::Close(fd);
  ILogSystem.Msg(0, format, path, extra);
  return -1;
}

// Reads and checks the signature; a version-3.0 file is converted first. The descriptor to go on
// with (possibly a new one), or -1 after logging why.
static int CheckSignature(Yandorix_IStuffDPF& service, sStuffDPFPrivate* context, int fd, const char* path,
                          bool readOnly) {
  char signature[kSignatureSize];
  if (ReadAt(fd, 0, signature, kSignatureSize) != kSignatureSize || memcmp(signature, "DPFv", 4) != 0)
    return RefuseOpen(fd, " . [IStuffDPF->Open('%s')] Error: it is not a valid DPF.\n", path);
  memcpy(context->signature, signature, kSignatureSize);
  context->signature[kSignatureSize] = '\0';
  if (signature[4] == '3') {
    if (readOnly)
      return RefuseOpen(fd, " . [IStuffDPF->Open('%s')] Error: it is not possible to update a DPF opened in "
                        "read only mode.\n", path);
    ydxplat::Close(fd);
    fd = Update3to4(service, path);
    if (fd < 0) {
      ILogSystem.Msg(0, " . [IStuffDPF->Open('%s')] Error: it was not possible to update the given DPF from "
                     "v3.0 to v4.0.\n", path);
      return -1;
    }
    memcpy(context->signature, kSignatureV4, kSignatureSize);
    ILogSystem.Msg(5, " . [IStuffDPF->Open('%s')] Info: the given DPF was updated from v3.0 to v4.0.\n", path);
    return fd;
  }
  if (signature[4] != '4')
    return RefuseOpen(fd, " . [IStuffDPF->Open('%s')] Error: '%s' version is not supported.\n", path,
                      context->signature);
  return fd;
}

int Yandorix_IStuffDPF::Open(const char* path) {
  if (!path || !*path) {
    ILogSystem.Msg(0, " . [IStuffDPF->Open('%s')] Error: %s\n", Shown(path), strerror(ENOENT));
    return -1;
  }
  bool readOnly = false;
  int fd = ydxplat::Open(path, ydxplat::kReadWrite);
  if (fd < 0) {
    fd = ydxplat::Open(path, ydxplat::kRead);
    if (fd < 0) {
      ILogSystem.Msg(0, " . [IStuffDPF->Open('%s')] Error: %s\n", path, strerror(errno));
      return -1;
    }
    readOnly = true;
    ILogSystem.Msg(2, " . [IStuffDPF->Open('%s')] Warning: file opened in read only mode.\n", path);
  }
  fd = CheckSignature(*this, p, fd, path, readOnly);
  if (fd < 0) return -1;
  const char* corrupted = " . [IStuffDPF->Open('%s')] Error: the given DPF is corrupted.\n";
  uint8_t bytes[kHeaderSize];
  if (ReadAt(fd, kHeaderOffset, bytes, kHeaderSize) != kHeaderSize) return RefuseOpen(fd, corrupted, path);
  p->headerCipher.DecipherUnits(bytes, kHeaderSize / 8);
  DecodeArchiveHeader(bytes, &p->header);
  FileIdentity identity;
  IdentityOfDescriptor(fd, &identity);
  uint32_t crc = p->header.crc;
  // A file this cache checked before is trusted while it keeps its length and time, unless it was
  // read with an interrupted change that must now be undone.
  Slot* known = KnownSlot(p, identity);
  RecoveredView view;
  if (known) {
    view.committedEnd = known->committedEnd;
    view.repairPending = known->repairPending;
  }
  if (!known || (view.repairPending && !readOnly)) {
    if (!CalculateCRC(fd, &crc)) return RefuseOpen(fd, corrupted, path);
    view = RecoveredView();
    if (crc != p->header.crc) {
      if (!RecoverArchive(p, fd, path, readOnly, &view)) {
        ydxplat::Close(fd);
        return -1;
      }
      crc = p->header.crc;
      IdentityOfDescriptor(fd, &identity);
    }
  }
  int handle = CacheInsert(p, fd, path, identity, crc, readOnly, view);
  if (handle == 0) ydxplat::Close(fd);
  return handle;
}

// ---- Create, Close, Flush ----

int Yandorix_IStuffDPF::Create(const char* path) {
  if (!path || !*path) {
    ILogSystem.Msg(0, " . [IStuffDPF->Create('%s')] Error: no path was given.\n", Shown(path));
    return -1;
  }
  if (OpenSlotOfFile(p, path)) {
    ILogSystem.Msg(0, " . [IStuffDPF->Create('%s')] Error: the given DPF is already opened. We can not "
                   "create it.\n", path);
    return -1;
  }
  Yandorix.MakeDirectory(path);
  FileIdentity previous;
  bool existed = IdentityOfPath(path, &previous);
  ArchiveHeader header;
  MakeHeader(p, &header, NULL, NULL);
  uint8_t bytes[kBlocksOffset];
  SealHeader(p, header, bytes);
  // Written beside the target and renamed over it: an existing file survives a failed create.
  ydxplat::ReplaceFile file;
  if (!file.Begin(path) || !file.Write(bytes, sizeof bytes) || !file.Commit()) {
    ILogSystem.Msg(0, " . [IStuffDPF->Create('%s')] Error: the file could not be written: %s\n", path,
                   strerror(errno ? errno : EIO));
    return -1;
  }
  if (existed) ForgetFile(p, previous);
  return Open(path);
}

void Yandorix_IStuffDPF::Close(int handle) {
  Slot* slot = SlotOf(p, handle);
  if (slot) CloseSlot(p, *slot, false);
}

int Yandorix_IStuffDPF::Flush(int handle) {
  Slot* slot = SlotOf(p, handle);
  if (!slot) return 0;
  if (slot->readOnly) {
    ILogSystem.Msg(0, " . [IStuffDPF->Flush(%d)] Error: the DPF was opened in read only mode.\n", handle);
    return 0;
  }
  if (!WriteHeaderBack(p, *slot, true)) {
    ILogSystem.Msg(0, " . [IStuffDPF->Flush(%d)] Error: the header could not be written: %s\n", handle,
                   strerror(errno ? errno : EIO));
    return 0;
  }
  return 1;
}

char* Yandorix_IStuffDPF::GetFilename(int handle) {
  Slot* slot = SlotOf(p, handle);
  return slot ? slot->path.data() : NULL;
}

char* Yandorix_IStuffDPF::GetName() { return p->signature; }
char* Yandorix_IStuffDPF::GetCopyright() { return p->header.copyright; }
char* Yandorix_IStuffDPF::GetCreateDate() { return p->header.created; }
char* Yandorix_IStuffDPF::GetLastModified() { return p->header.modified; }
int Yandorix_IStuffDPF::IsProtected() { return p->header.protectedFlag ? 1 : 0; }
