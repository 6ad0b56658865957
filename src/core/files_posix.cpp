// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "core/path_text.hpp"
#include "core/stop_signals.hpp"

namespace morvik {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

std::string Folder(const std::string& path) { return FolderOf(path); }
std::string BaseName(const std::string& path) { return NameOf(path); }

void Nap(int ms) {
  timespec t{0, ms * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

// Opens an output that is not a plain file (a device, a FIFO) for writing
// without blocking: a FIFO with no reader yet is tried again until one
// comes or a stop signal does.
int OpenStraight(const std::string& path, int flags) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != ENXIO) return fd;
    if (StopSignalled()) {
      errno = ECANCELED;
      return -1;
    }
    Nap(20);
  }
}

// Writes all of `n` bytes to fd, which may not block: when a reader is slow
// the write waits for it, but never past a stop signal.
bool WriteAll(int fd, const char* p, size_t n, int& err) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w > 0) {
      p += w;
      n -= static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (StopSignalled()) {
        err = ECANCELED;
        return false;
      }
      pollfd pf{fd, POLLOUT, 0};
      ::poll(&pf, 1, 100);
      continue;
    }
    err = w < 0 ? errno : EIO;
    return false;
  }
  return true;
}

// fsync, where the file system can: a device or a pipe cannot, and says so.
bool Sync(int fd, int& err) {
  if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return true;
  err = errno;
  return false;
}

}  // namespace

std::string ErrorText(int err) {
  if (err == ECANCELED) return "nobody read it before the program was stopped";
  return std::strerror(err);
}

std::string FileRead::Why() const {
  switch (outcome) {
    case kRead: return "";
    case kNotPlain: return "not a plain file";
    case kTooLarge: return "too large";
    default: return ErrorText(error ? error : EIO);
  }
}

FileRead ReadPlainFile(const std::string& path, size_t limit, bool prefixOnly) {
  FileRead r;
  // Not blocking, so that a FIFO in the file's place cannot hang the start.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    r.error = errno;
    r.outcome = errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kFailed;
    return r;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    r.error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    r.outcome = FileRead::kNotPlain;
  } else if (!prefixOnly && static_cast<uint64_t>(st.st_size) > limit) {
    r.outcome = FileRead::kTooLarge;
  } else {
    // Never more than the limit, even from a file that grows while it is read.
    r.outcome = FileRead::kRead;
    char buf[65536];
    while (r.bytes.size() < limit || !prefixOnly) {
      const size_t want = prefixOnly ? std::min(sizeof buf, limit - r.bytes.size()) : sizeof buf;
      const ssize_t n = ::read(fd, buf, want);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        r.error = errno;
        r.outcome = FileRead::kFailed;
        break;
      }
      if (n == 0) break;
      r.bytes.append(buf, static_cast<size_t>(n));
      if (!prefixOnly && r.bytes.size() > limit) {
        r.outcome = FileRead::kTooLarge;
        break;
      }
    }
  }
  ::close(fd);
  if (r.outcome != FileRead::kRead) r.bytes.clear();
  return r;
}

std::string FinalTarget(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(p.c_str(), to.data(), to.size());
    if (n <= 0) return p;
    to.resize(static_cast<size_t>(n));
    p = to[0] == '/' ? to : Folder(p) + "/" + to;
  }
  return p;
}

std::string WhyNotReplaceable(const std::string& path) {
  const std::string target = FinalTarget(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return ErrorText(EISDIR);
    if (!S_ISREG(st.st_mode)) return ::access(target.c_str(), W_OK) == 0 ? "" : ErrorText(errno);
  } else if (errno != ENOENT) {
    return ErrorText(errno);
  }
  // A new file is made beside it and renamed into place: its folder is written.
  const std::string dir = Folder(target);
  if (::stat(dir.c_str(), &st) != 0) return ErrorText(errno);
  if (!S_ISDIR(st.st_mode)) return ErrorText(ENOTDIR);
  return ::access(dir.c_str(), W_OK | X_OK) == 0 ? "" : ErrorText(errno);
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string& why, const ReplaceOptions& o) {
  const std::string target = FinalTarget(path);
  int err = 0;
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) err = EISDIR;
  if (exists && o.onlyIfMissing) err = EEXIST;
  if (err == 0 && exists && !S_ISREG(st.st_mode) && o.intoDevices) {
    // A device or a FIFO: written as it is.
    const int fd = OpenStraight(target, 0);
    if (fd < 0) err = errno;
    else {
      WriteAll(fd, bytes.data(), bytes.size(), err);
      if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
    }
    if (err != 0) why = ErrorText(err);
    return err == 0;
  }
  if (err != 0) {
    why = ErrorText(err);
    return false;
  }
  // The new content goes to a file of its own beside the target, made with
  // O_EXCL under a random name, so nothing planted there is followed; it
  // gets the usual permissions (the umask's), or the file's own.
  const std::string dir = Folder(target);
  std::string tmp;
  int fd = -1;
  std::random_device random;
  for (int tries = 0; fd < 0 && tries < 100; ++tries) {
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, ".%08x%04x", random(), random() & 0xFFFF);
    tmp = dir + "/." + BaseName(target) + suffix;
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, o.ownerOnly ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    why = ErrorText(errno);
    return false;
  }
  if (o.ownerOnly) {
    if (::fchmod(fd, 0600) != 0) err = errno;
  } else if (exists && S_ISREG(st.st_mode) && ::fchmod(fd, st.st_mode & 07777) != 0) {
    err = errno;
  }
  if (err == 0) WriteAll(fd, bytes.data(), bytes.size(), err);
  if (err == 0) Sync(fd, err);
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0) {
    if (o.onlyIfMissing) {
      // link() never replaces: a file that appeared meanwhile wins. Where
      // the file system has no hard links (the browser's, some removable
      // ones), the name is checked, then the file renamed into place.
      if (::link(tmp.c_str(), target.c_str()) != 0) {
        err = errno;
        if (err != EEXIST) {
          struct stat now {};
          err = ::lstat(target.c_str(), &now) == 0 ? EEXIST : 0;
          if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
        }
      }
      ::unlink(tmp.c_str());
    } else if (::rename(tmp.c_str(), target.c_str()) != 0) {
      err = errno;
    }
  }
  if (err != 0) {
    ::unlink(tmp.c_str());
    why = ErrorText(err);
    return false;
  }
  // The rename itself is on the disk once the folder is.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    Sync(dfd, err);
    ::close(dfd);
  }
  return true;
}

std::string WhyNotWritable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return ErrorText(EISDIR);
    return ::access(path.c_str(), W_OK) == 0 ? "" : ErrorText(errno);
  }
  if (errno != ENOENT) return ErrorText(errno);
  const std::string dir = Folder(path);
  if (::stat(dir.c_str(), &st) != 0) return ErrorText(errno);
  if (!S_ISDIR(st.st_mode)) return ErrorText(ENOTDIR);
  return ::access(dir.c_str(), W_OK | X_OK) == 0 ? "" : ErrorText(errno);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  const bool ea = ::stat(a.c_str(), &sa) == 0, eb = ::stat(b.c_str(), &sb) == 0;
  if (ea && eb) return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (ea || eb) return false;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path ca = fs::absolute(PathOf(a), ec), cb = fs::absolute(PathOf(b), ec);
  if (ec) return false;
  const fs::path wa = fs::weakly_canonical(ca, ec), wb = fs::weakly_canonical(cb, ec);
  return !ec && wa == wb;
}

int FolderError(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool RandomReadFile::Open(const char* path) {
  Close();
  // Non-blocking, so that a pipe or device put in the file's place cannot
  // stall the game; only a plain file is read.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<long long>(st.st_size);
  return true;
}

bool RandomReadFile::ReadAt(long long offset, void* out, int n) {
  if (fd_ < 0) return false;
  ssize_t got;
  do {
    got = ::pread(fd_, out, static_cast<size_t>(n), static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  return got == n;
}

void RandomReadFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

int FileLock::Open(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd_);
    fd_ = -1;
    errno = EINVAL;
  }
  return fd_ >= 0 ? 0 : errno;
}

FileLock::Outcome FileLock::TryLock(int& err) {
  if (fd_ < 0) {
    err = EBADF;
    return kFailed;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return kLocked;
  if (errno == EWOULDBLOCK || errno == EINTR) return kBusy;
  err = errno;
  return kFailed;
}

bool MakeFolders(const std::string& dir, std::string& why) {
  struct stat st {};
  if (dir.empty() || ::stat(dir.c_str(), &st) == 0) {
    if (dir.empty() || S_ISDIR(st.st_mode)) return true;
    why = "cannot make the folder " + dir + ": " + ErrorText(ENOTDIR);
    return false;
  }
  const std::string up = Folder(dir);
  if (up != dir && !MakeFolders(up, why)) return false;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    why = "cannot make the folder " + dir + ": " + ErrorText(errno);
    return false;
  }
  return true;
}

StreamFile::~StreamFile() {
  std::string why;
  Close(why);
}

bool StreamFile::Open(const std::string& path, std::string& why) {
  Close(why);
  error_ = 0;
  fd_ = OpenStraight(path, O_CREAT | O_TRUNC);
  if (fd_ < 0) {
    why = ErrorText(errno);
    return false;
  }
  buf_.reserve(size_t{1} << 16);
  return true;
}

bool StreamFile::Write(const char* data, size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  if (buf_.size() + size > buf_.capacity() && !Flush()) return false;
  if (size >= buf_.capacity()) return WriteAll(fd_, data, size, error_);
  buf_.append(data, size);
  return true;
}

bool StreamFile::Flush() {
  if (fd_ < 0 || error_ != 0) return false;
  const bool ok = WriteAll(fd_, buf_.data(), buf_.size(), error_);
  buf_.clear();
  return ok;
}

bool StreamFile::Close(std::string& why) {
  if (fd_ < 0) return error_ == 0;
  Flush();
  if (::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  fd_ = -1;
  if (error_ == 0) return true;
  why = ErrorText(error_);
  return false;
}

}  // namespace morvik
