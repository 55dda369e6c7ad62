// The library's thin layer over POSIX for the file, directory and environment calls it needs.
// Every file access of the library goes through here, so tests can inject I/O faults in one place.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <sys/stat.h>

namespace ydxplat {

// Open flags, mapped onto POSIX (files are always binary here).
enum {
  kRead = 1, kWrite = 2, kReadWrite = 3, kCreate = 4, kTruncate = 8, kExclusive = 16, kAppend = 32,
  kNonBlock = 64,   // opening a FIFO or device never waits (check the type with FileStat before reading)
};

int Open(const char* path, int flags, int mode = 0644);   // descriptor, or -1
int Close(int fd);
// Whole-length transfers with EINTR handled: the number of bytes moved (short only at end of file
// for reads), or -1 on an error. A short write is an error.
int64_t Read(int fd, void* buffer, size_t length);
int64_t Write(int fd, const void* buffer, size_t length);
// Read from `offset` without moving the file position: one call where a seek and a read would be two.
int64_t ReadAt(int fd, void* buffer, size_t length, int64_t offset);
int64_t Seek(int fd, int64_t offset, int whence);         // new position, or -1
int64_t FileLength(int fd);                                // -1 on error; position unchanged
int Truncate(int fd, int64_t length);                      // 0 on success
int Commit(int fd);                                        // fsync; 0 on success
// fdatasync: the data written so far (and the length) is on disk before anything written after it.
int CommitData(int fd);                                    // 0 on success
int Access(const char* path, int mode);                    // 0 when accessible
int MakeDir(const char* path);                             // 0 on success
int Stat(const char* path, struct stat* st);               // 0 on success
int FileStat(int fd, struct stat* st);                     // 0 on success
int Rename(const char* from, const char* to);              // 0 on success
int Link(const char* from, const char* to);                // 0 on success; fails when `to` exists
int Remove(const char* path);                              // 0 on success
int PutEnv(const char* name, const char* value);           // value NULL removes; 0 on success
bool SameFile(const char* a, const char* b);               // same device and inode

// Paths from applications may use '\\' as separator; this is the path the system takes.
std::string NativePath(const char* path);

// Path pieces in the manner of the Windows runtime's _splitpath; both '/' and '\' separate.
struct PathParts {
  std::string drive;  // always empty here
  std::string dir;    // with its trailing separator
  std::string fname;  // without extension
  std::string ext;    // with its leading '.'
};
PathParts SplitPath(const char* path);

// Writes a file that replaces `target` only once it is complete: a temporary file beside the target,
// checked writes, fsync, then rename over the target. Abort (or destruction without Commit) removes it.
class ReplaceFile {
 public:
  ReplaceFile() = default;
  ~ReplaceFile();
  bool Begin(const char* target);
  int Descriptor() const { return fd; }
  const std::string& TempPath() const { return temp; }
  bool Write(const void* data, size_t length);
  bool Commit();          // false: target untouched, temporary removed
  void Abort();
 private:
  ReplaceFile(const ReplaceFile&) = delete;
  ReplaceFile& operator=(const ReplaceFile&) = delete;
  std::string target, temp;
  int fd = -1;
  bool failed = false;
};

// Fault injection for tests. The hook sees each operation before it runs; returning 0 lets it run,
// returning an errno value makes it fail with that error. For writes it may lower *length to force
// a short write (reported as a failure).
enum FaultOp { kOpOpen, kOpRead, kOpWrite, kOpSeek, kOpCommit, kOpRename, kOpLink, kOpRemove, kOpMkdir,
               kOpTruncate };
typedef int (*FaultHook)(FaultOp op, const char* path, size_t* length);
void SetFaultHook(FaultHook hook);

}  // namespace ydxplat
