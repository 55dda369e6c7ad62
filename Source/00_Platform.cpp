// POSIX implementation of the library's file layer (the Windows runtime's calls in portable form).
#include "00_Platform.h"
#include <Yandorix.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace ydxplat {

static FaultHook faultHook = nullptr;

void SetFaultHook(FaultHook hook) { faultHook = hook; }

std::string NativePath(const char* path) {
  std::string native(path ? path : "");
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

// Gives the test hook its say; -1 with errno set when the operation must fail.
static int Injected(FaultOp op, const char* path, size_t* length = nullptr) {
  if (!faultHook) return 0;
  int err = faultHook(op, path, length);
  if (err == 0) return 0;
  errno = err;
  return -1;
}

int Open(const char* givenPath, int flags, int mode) {
  if (!givenPath) { errno = EINVAL; return -1; }
  std::string native = NativePath(givenPath);
  const char* path = native.c_str();
  if (Injected(kOpOpen, path)) return -1;
  int posix = 0;
  switch (flags & kReadWrite) {
    case kRead: posix = O_RDONLY; break;
    case kWrite: posix = O_WRONLY; break;
    default: posix = O_RDWR; break;
  }
  if (flags & kCreate) posix |= O_CREAT;
  if (flags & kTruncate) posix |= O_TRUNC;
  if (flags & kExclusive) posix |= O_EXCL;
  if (flags & kAppend) posix |= O_APPEND;
  if (flags & kNonBlock) posix |= O_NONBLOCK;
  int fd;
  do { fd = ::open(path, posix | O_CLOEXEC, mode); } while (fd < 0 && errno == EINTR);
  return fd;
}

int Close(int fd) { return fd < 0 ? -1 : ::close(fd); }

// Reads until `length` bytes, the end of the file or an error; from the file position when `offset` is
// negative, else from `offset` without moving the position.
static int64_t ReadWhole(int fd, void* buffer, size_t length, int64_t offset) {
  if (Injected(kOpRead, nullptr, &length)) return -1;
  size_t done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t got = offset < 0 ? ::read(fd, out + done, length - done)
                             : ::pread(fd, out + done, length - done, (off_t)(offset + (int64_t)done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += (size_t)got;
  }
  return (int64_t)done;
}

int64_t Read(int fd, void* buffer, size_t length) { return ReadWhole(fd, buffer, length, -1); }

int64_t ReadAt(int fd, void* buffer, size_t length, int64_t offset) {
  return offset < 0 ? -1 : ReadWhole(fd, buffer, length, offset);
}

int64_t Write(int fd, const void* buffer, size_t length) {
  size_t allowed = length;
  if (Injected(kOpWrite, nullptr, &allowed)) return -1;
  size_t done = 0;
  const char* in = static_cast<const char*>(buffer);
  while (done < allowed) {
    ssize_t put = ::write(fd, in + done, allowed - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += (size_t)put;
  }
  if (done < length) { errno = ENOSPC; return -1; }
  return (int64_t)done;
}

int64_t Seek(int fd, int64_t offset, int whence) {
  if (Injected(kOpSeek, nullptr)) return -1;
  return (int64_t)::lseek(fd, (off_t)offset, whence);
}

int64_t FileLength(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  return (int64_t)st.st_size;
}

int Truncate(int fd, int64_t length) {
  if (Injected(kOpTruncate, nullptr)) return -1;
  return ::ftruncate(fd, (off_t)length);
}

int Commit(int fd) {
  if (Injected(kOpCommit, nullptr)) return -1;
  return ::fsync(fd);
}

int CommitData(int fd) {
  if (Injected(kOpCommit, nullptr)) return -1;
  return ::fdatasync(fd);
}

int Access(const char* path, int mode) { return path ? ::access(NativePath(path).c_str(), mode) : -1; }

int MakeDir(const char* path) {
  if (Injected(kOpMkdir, path)) return -1;
  return ::mkdir(NativePath(path).c_str(), 0777);
}

int Stat(const char* path, struct stat* st) { return path ? ::stat(NativePath(path).c_str(), st) : -1; }

int FileStat(int fd, struct stat* st) { return fd < 0 ? -1 : ::fstat(fd, st); }

int Rename(const char* from, const char* to) {
  if (Injected(kOpRename, to)) return -1;
  return ::rename(NativePath(from).c_str(), NativePath(to).c_str());
}

int Link(const char* from, const char* to) {
  if (Injected(kOpLink, to)) return -1;
  return ::link(NativePath(from).c_str(), NativePath(to).c_str());
}

int Remove(const char* path) {
  if (Injected(kOpRemove, path)) return -1;
  return ::remove(NativePath(path).c_str());
}

int PutEnv(const char* name, const char* value) {
  return value ? ::setenv(name, value, 1) : ::unsetenv(name);
}

bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (!a || !b || Stat(a, &sa) != 0 || Stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

PathParts SplitPath(const char* path) {
  PathParts parts;
  if (!path) return parts;
  std::string whole(path);
  size_t slash = whole.find_last_of("/\\");
  std::string name = whole;
  if (slash != std::string::npos) {
    parts.dir = whole.substr(0, slash + 1);
    name = whole.substr(slash + 1);
  }
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) {
    parts.fname = name.substr(0, dot);
    parts.ext = name.substr(dot);
  } else {
    parts.fname = name;
  }
  return parts;
}

// The file a path finally names, symbolic links followed (a relative link from its own directory), so
// that a replaced file stays where the link points and the link stays a link. A path that does not
// exist yet names itself. False when the links go round in circles or one cannot be read.
static bool FollowLinks(const std::string& path, std::string* real) {
  std::string current = path;
  for (int hops = 0; hops < 40; hops++) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *real = current;
      return true;
    }
    char link[PATH_MAX];
    ssize_t length = ::readlink(current.c_str(), link, sizeof link);
    if (length <= 0 || (size_t)length >= sizeof link) return false;
    std::string to(link, (size_t)length);
    current = to[0] == '/' ? to : SplitPath(current.c_str()).dir + to;
  }
  errno = ELOOP;
  return false;
}

// Only a regular file is replaced: renaming over a FIFO, a device or a directory would swap out
// something that is no document at all.
static bool Replaceable(const char* given, const std::string& real) {
  struct stat st;
  if (::lstat(real.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return true;
  if (real == NativePath(given))
    ILogSystem.Msg(0, " . [Yandorix] Error: '%s' is not a regular file, so it is not replaced.\n", given);
  else
    ILogSystem.Msg(0, " . [Yandorix] Error: '%s' leads to '%s', which is not a regular file, so it is not replaced.\n",
                   given, real.c_str());
  errno = EINVAL;
  return false;
}

ReplaceFile::~ReplaceFile() { Abort(); }

bool ReplaceFile::Begin(const char* targetPath) {
  Abort();
  if (!targetPath || !*targetPath) return false;
  if (!FollowLinks(NativePath(targetPath), &target) || !Replaceable(targetPath, target)) return false;
  PathParts parts = SplitPath(target.c_str());
  std::string pattern = parts.dir + ".ydx-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (Injected(kOpOpen, targetPath)) return false;
  fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  temp = name.data();
  failed = false;
  return true;
}

bool ReplaceFile::Write(const void* data, size_t length) {
  if (fd < 0 || failed) return false;
  if (length && ydxplat::Write(fd, data, length) != (int64_t)length) failed = true;
  return !failed;
}

bool ReplaceFile::Commit() {
  if (fd < 0) return false;
  bool ok = !failed && ydxplat::Commit(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  fd = -1;
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat st;
  mode_t mode = 0666;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  if (ok) ok = ::chmod(temp.c_str(), mode) == 0;
  if (ok) ok = ydxplat::Rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    temp.clear();
    return false;
  }
  temp.clear();
  // Make the rename itself durable.
  PathParts parts = SplitPath(target.c_str());
  int dirfd = ::open(parts.dir.empty() ? "." : parts.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
  return true;
}

void ReplaceFile::Abort() {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
  if (!temp.empty()) {
    ::unlink(temp.c_str());
    temp.clear();
  }
}


}  // namespace ydxplat
