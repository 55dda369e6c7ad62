// DPF archives: one file of named, typed blocks, compressed and optionally protected with a password.
// Handles are positive integers returned by Open/Create and valid until the matching Close.
#ifndef YANDORIX_STUFFDPF_H
#define YANDORIX_STUFFDPF_H

#include <SDL.h>
#include "Export.h"

// A block crossing the archive interface. `data` is the caller's for AddData; LoadBlock allocates it
// and the caller releases it with FreeBlock.
struct DPF_BlockData {
  char name[32];          // at most 31 characters
  char type[8];           // at most 7 characters
  unsigned char mode;     // 0 compressed, 1 stored, 2 masked
  int size;               // original size in bytes
  int storedsize;         // stored size in bytes, before padding
  char* data;
};

class YDX_API Yandorix_IStuffDPF {
 public:
  Yandorix_IStuffDPF();
  ~Yandorix_IStuffDPF();

  // Handles and the file cache.
  int Open(const char* path);     // handle; -1 bad file or contents; 0 cache full
  int Create(const char* path);   // a new empty archive, opened; -1 when it cannot be created
  void Close(int handle);
  int Flush(int handle);
  char* GetFilename(int handle);   // the path as given to Open; NULL for an unknown handle
  // The last archive opened or created: signature ("DPFv4.0"), copyright and dates of its header.
  char* GetName();
  char* GetCopyright();
  char* GetCreateDate();
  char* GetLastModified();
  int IsProtected();

  // Blocks.
  // 1 found (no data loaded), 0 no more blocks, 2 read error; deleted blocks come as type "DELETED".
  int FindFirst(int handle, DPF_BlockData* out);
  int FindNext(int handle, DPF_BlockData* out);
  int Search(int handle, DPF_BlockData* block);
  // The type comes before the name; out->data is the caller's, released with FreeBlock.
  int LoadBlock(int handle, const char* type, const char* name, DPF_BlockData* out);  // original size, or 0
  int FreeBlock(DPF_BlockData* block);
  int AddData(int handle, DPF_BlockData* block);   // stored size; -1 duplicate name and type; 0 error
  int AddFile(int handle, const char* path);
  int Delete(int handle, DPF_BlockData* block);
  void SetAccessMode(char mode);

  // Protection, compaction, statistics.
  void SetPassword(const unsigned char* key, unsigned char length);
  int Protect(const char* path, const unsigned char* key, unsigned char length);
  int UnProtect(const char* path, const unsigned char* key, unsigned char length);
  int Compact(const char* path);
  // GetSize: the file length in KiB, rounded down. GetNumBlocks counts deleted blocks too.
  int GetSize(int handle);
  int GetNumBlocks(int handle);
  int GetNumDelBlocks(int handle);
  int GetFragment(int handle);

 private:
  Yandorix_IStuffDPF(const Yandorix_IStuffDPF&) = delete;
  Yandorix_IStuffDPF& operator=(const Yandorix_IStuffDPF&) = delete;
  friend struct Yandorix_StuffDPFAccess;
  struct sStuffDPFPrivate* p;
};

extern YDX_API Yandorix_IStuffDPF* IStuffDPF;

#endif
