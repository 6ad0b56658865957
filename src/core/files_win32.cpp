// SPDX-License-Identifier: GPL-3.0-or-later
// The one file layer on Windows: UTF-8 paths through the wide API, a
// replacing write made under a random name with CREATE_NEW, flushed, and
// moved over the old file with MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH, so the file holds all of its old content or all
// of the new; locks through LockFileEx.
#include "core/files.hpp"

#include <windows.h>
#include <io.h>
#include <fcntl.h>
#undef ReplaceFile  // windows.h's, for ReplaceFileW: ours is another

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "core/path_text.hpp"
#include "core/stop_signals.hpp"
#include "core/utf16.hpp"

namespace morvik {

namespace {

int ErrnoOf(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME: return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_OPERATION_ABORTED: return ECANCELED;
    default: return kSystemError + static_cast<int>(e & 0xFFFF);
  }
}

int LastError() { return ErrnoOf(GetLastError()); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where the folder part of a path ends: after "C:\" or "\\server\share\" a
// path has nothing above it.
size_t RootLength(const std::string& p) {
  if (p.size() >= 2 && p[1] == ':') return p.size() >= 3 && IsSeparator(p[2]) ? 3 : 2;
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    size_t n = p.find_first_of("/\\", 2);
    if (n != std::string::npos) n = p.find_first_of("/\\", n + 1);
    return n == std::string::npos ? p.size() : n + 1;
  }
  return p.size() >= 1 && IsSeparator(p[0]) ? 1 : 0;
}

struct Attributes {
  bool exists = false;
  bool folder = false;
  bool link = false;
  int error = 0;  // why it could not be looked at, other than being missing
};

Attributes Look(const std::wstring& w) {
  Attributes a;
  const DWORD at = GetFileAttributesW(w.c_str());
  if (at == INVALID_FILE_ATTRIBUTES) {
    const int e = LastError();
    if (e != ENOENT) a.error = e;
    return a;
  }
  a.exists = true;
  a.folder = (at & FILE_ATTRIBUTE_DIRECTORY) != 0;
  a.link = (at & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return a;
}

// Opens a name that is not a file on disk (NUL, CON, a named pipe) to be
// written into; INVALID_HANDLE_VALUE with the errno in err.
HANDLE OpenStraight(const std::wstring& w, DWORD disposition, int& err) {
  const HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) err = LastError();
  return h;
}

bool WriteAll(HANDLE h, const char* p, size_t n, int& err) {
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(h, p, chunk, &wrote, nullptr)) {
      err = LastError();
      return false;
    }
    if (wrote == 0) {
      if (StopSignalled()) {
        err = ECANCELED;
        return false;
      }
      Sleep(20);
      continue;
    }
    p += wrote;
    n -= wrote;
  }
  return true;
}

// A disk file, a device or a pipe, by its handle.
bool IsDiskFile(HANDLE h) { return GetFileType(h) == FILE_TYPE_DISK; }

// A moment's wait for what holds a file open without letting it be
// replaced (a virus scanner, an indexer): tried again for about a second.
bool Busy(DWORD e) { return e == ERROR_SHARING_VIOLATION || e == ERROR_ACCESS_DENIED || e == ERROR_LOCK_VIOLATION; }

}  // namespace

std::string ErrorText(int err) {
  if (err == ECANCELED) return "nobody read it before the program was stopped";
  if (err >= kSystemError) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(err - kSystemError), 0,
                                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = n && text ? Utf8FromWide(std::wstring(text, n)) : "";
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "system error " + std::to_string(err - kSystemError) : s;
  }
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

std::string FolderOf(const std::string& path) {
  const size_t root = RootLength(path);
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos || slash < root) return root ? path.substr(0, root) : ".";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileRead ReadPlainFile(const std::string& path, size_t limit, bool prefixOnly) {
  FileRead r;
  std::wstring w;
  if (!WideFromUtf8(path, w)) {
    r.error = EINVAL;
    return r;
  }
  const Attributes at = Look(w);
  if (at.exists && at.folder) {
    r.outcome = FileRead::kNotPlain;
    return r;
  }
  // Shared for reading, writing and deleting: another game may replace it meanwhile.
  const HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    r.error = LastError();
    r.outcome = r.error == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    return r;
  }
  LARGE_INTEGER size{};
  if (!IsDiskFile(h)) {
    r.outcome = FileRead::kNotPlain;  // a device or a pipe is never read
  } else if (!GetFileSizeEx(h, &size)) {
    r.error = LastError();
  } else if (!prefixOnly && static_cast<uint64_t>(size.QuadPart) > limit) {
    r.outcome = FileRead::kTooLarge;
  } else {
    r.outcome = FileRead::kRead;
    char buf[65536];
    while (r.bytes.size() < limit || !prefixOnly) {
      const DWORD want = static_cast<DWORD>(prefixOnly ? std::min(sizeof buf, limit - r.bytes.size()) : sizeof buf);
      DWORD n = 0;
      if (!ReadFile(h, buf, want, &n, nullptr)) {
        r.error = LastError();
        r.outcome = FileRead::kFailed;
        break;
      }
      if (n == 0) break;
      r.bytes.append(buf, n);
      if (!prefixOnly && r.bytes.size() > limit) {
        r.outcome = FileRead::kTooLarge;
        break;
      }
    }
  }
  CloseHandle(h);
  if (r.outcome != FileRead::kRead) r.bytes.clear();
  return r;
}

std::string FinalTarget(const std::string& path) {
  // A symbolic link the player made is followed to the file it names.
  std::wstring w;
  if (!WideFromUtf8(path, w) || !Look(w).link) return path;
  const HANDLE h = CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  std::wstring to(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(h, to.data(), static_cast<DWORD>(to.size()), FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= to.size()) return path;
  to.resize(n);
  if (to.rfind(L"\\\\?\\UNC\\", 0) == 0) to = L"\\\\" + to.substr(8);
  else if (to.rfind(L"\\\\?\\", 0) == 0) to = to.substr(4);
  return Utf8FromWide(to);
}

namespace {

// Whether a new file can be made in the folder: only trying tells (access
// lists decide, not attributes).
std::string WhyNotMakeIn(const std::string& dir) {
  std::wstring w;
  if (!WideFromUtf8(dir, w)) return ErrorText(EINVAL);
  const Attributes at = Look(w);
  if (at.error) return ErrorText(at.error);
  if (!at.exists) return ErrorText(ENOENT);
  if (!at.folder) return ErrorText(ENOTDIR);
  std::random_device random;
  for (int tries = 0; tries < 20; ++tries) {
    wchar_t name[40];
    std::swprintf(name, 40, L"\\.morvik-check-%08x%04x", random(), random() & 0xFFFF);
    const HANDLE h = CreateFileW((w + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return "";
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return ErrorText(LastError());
  }
  return ErrorText(EEXIST);
}

}  // namespace

std::string WhyNotReplaceable(const std::string& path) {
  const std::string target = FinalTarget(path);
  std::wstring w;
  if (!WideFromUtf8(target, w)) return ErrorText(EINVAL);
  const Attributes at = Look(w);
  if (at.error) return ErrorText(at.error);
  if (at.exists && at.folder) return ErrorText(EISDIR);
  return WhyNotMakeIn(FolderOf(target));
}

std::string WhyNotWritable(const std::string& path) {
  std::wstring w;
  if (!WideFromUtf8(path, w)) return ErrorText(EINVAL);
  const Attributes at = Look(w);
  if (at.error) return ErrorText(at.error);
  if (at.exists && at.folder) return ErrorText(EISDIR);
  if (!at.exists) return WhyNotMakeIn(FolderOf(path));
  const HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ErrorText(LastError());
  CloseHandle(h);
  return "";
}

bool SameFile(const std::string& a, const std::string& b) {
  std::wstring wa, wb;
  if (!WideFromUtf8(a, wa) || !WideFromUtf8(b, wb)) return false;
  auto identity = [](const std::wstring& w, BY_HANDLE_FILE_INFORMATION& info, bool& disk) {
    const HANDLE h = CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    disk = IsDiskFile(h);
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok || !disk;
  };
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  bool da = false, db = false;
  const bool ea = identity(wa, ia, da), eb = identity(wb, ib, db);
  if (ea && eb)
    return da && db && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  if (ea || eb) return false;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path ca = fs::absolute(PathOf(a), ec), cb = fs::absolute(PathOf(b), ec);
  if (ec) return false;
  const fs::path wca = fs::weakly_canonical(ca, ec), wcb = fs::weakly_canonical(cb, ec);
  // Windows' names are the same whatever their letters' case.
  return !ec && CompareStringOrdinal(wca.c_str(), -1, wcb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

int FolderError(const std::string& dir) {
  std::wstring w;
  if (!WideFromUtf8(dir, w)) return EINVAL;
  const Attributes at = Look(w);
  if (at.error) return at.error;
  if (!at.exists) return ENOENT;
  return at.folder ? 0 : ENOTDIR;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string& why, const ReplaceOptions& o) {
  const std::string target = FinalTarget(path);
  std::wstring w;
  if (!WideFromUtf8(target, w)) {
    why = ErrorText(EINVAL);
    return false;
  }
  int err = 0;
  const Attributes at = Look(w);
  if (at.error) err = at.error;
  else if (at.exists && at.folder) err = EISDIR;
  else if (at.exists && o.onlyIfMissing) err = EEXIST;
  if (err == 0 && o.intoDevices) {
    // A device (NUL, CON) or a pipe at the name: written as it is.
    const HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      if (!IsDiskFile(h)) {
        WriteAll(h, bytes.data(), bytes.size(), err);
        CloseHandle(h);
        if (err != 0) why = ErrorText(err);
        return err == 0;
      }
      CloseHandle(h);
    }
  }
  if (err != 0) {
    why = ErrorText(err);
    return false;
  }
  // The new content goes to a file of its own beside the target, made new
  // (CREATE_NEW) under a random name, so nothing planted there is followed.
  const std::string dir = FolderOf(target);
  std::wstring tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  std::random_device random;
  std::wstring wdir, name;
  WideFromUtf8(dir, wdir);
  if (!dir.empty() && !IsSeparator(dir.back())) wdir += L'\\';
  WideFromUtf8(NameOf(target), name);
  for (int tries = 0; h == INVALID_HANDLE_VALUE && tries < 100; ++tries) {
    wchar_t suffix[20];
    std::swprintf(suffix, 20, L".%08x%04x", random(), random() & 0xFFFF);
    tmp = wdir + L"." + name + suffix;
    h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    why = ErrorText(LastError());
    return false;
  }
  WriteAll(h, bytes.data(), bytes.size(), err);
  if (err == 0 && !FlushFileBuffers(h)) err = LastError();
  CloseHandle(h);
  if (err == 0) {
    // Without MOVEFILE_REPLACE_EXISTING a file that appeared meanwhile wins.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (o.onlyIfMissing ? 0 : MOVEFILE_REPLACE_EXISTING);
    for (int tries = 0;; ++tries) {
      if (MoveFileExW(tmp.c_str(), w.c_str(), flags)) break;
      const DWORD e = GetLastError();
      if (o.onlyIfMissing && (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)) {
        err = EEXIST;
        break;
      }
      if (!Busy(e) || tries >= 50 || StopSignalled()) {
        err = ErrnoOf(e);
        break;
      }
      Sleep(20);
    }
  }
  if (err != 0) {
    DeleteFileW(tmp.c_str());
    why = ErrorText(err);
    return false;
  }
  return true;
}

bool MakeFolders(const std::string& dir, std::string& why) {
  std::wstring w;
  if (!WideFromUtf8(dir, w)) {
    why = "cannot make the folder " + dir + ": " + ErrorText(EINVAL);
    return false;
  }
  const Attributes at = Look(w);
  if (dir.empty() || at.exists) {
    if (dir.empty() || at.folder) return true;
    why = "cannot make the folder " + dir + ": " + ErrorText(ENOTDIR);
    return false;
  }
  const std::string up = FolderOf(dir);
  if (up != dir && up != "." && !MakeFolders(up, why)) return false;
  if (!CreateDirectoryW(w.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    why = "cannot make the folder " + dir + ": " + ErrorText(LastError());
    return false;
  }
  return true;
}

bool RandomReadFile::Open(const char* path) {
  Close();
  // No string is made: the course step opens its files during play.
  wchar_t w[4096];
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, w, 4096);
  if (n <= 0) return false;
  const DWORD at = GetFileAttributesW(w);
  if (at == INVALID_FILE_ATTRIBUTES || (at & FILE_ATTRIBUTE_DIRECTORY)) return false;
  const HANDLE h = CreateFileW(w, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (!IsDiskFile(h) || !GetFileSizeEx(h, &size)) {
    CloseHandle(h);
    return false;
  }
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(h);
    return false;
  }
  size_ = size.QuadPart;
  return true;
}

bool RandomReadFile::ReadAt(long long offset, void* out, int n) {
  if (fd_ < 0) return false;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  return ReadFile(h, out, static_cast<DWORD>(n), &got, &at) && got == static_cast<DWORD>(n);
}

void RandomReadFile::Close() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  size_ = 0;
}

FileLock::~FileLock() {
  if (fd_ >= 0) _close(fd_);  // closing lets the lock go
}

int FileLock::Open(const std::string& path) {
  std::wstring w;
  if (!WideFromUtf8(path, w)) return EINVAL;
  const Attributes at = Look(w);
  if (at.link) return ELOOP;
  if (at.exists && at.folder) return EINVAL;
  const HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  if (!IsDiskFile(h)) {
    CloseHandle(h);
    return EINVAL;
  }
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(h);
    return EMFILE;
  }
  return 0;
}

FileLock::Outcome FileLock::TryLock(int& err) {
  if (fd_ < 0) {
    err = EBADF;
    return kFailed;
  }
  OVERLAPPED at{};
  if (LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                 0, 1, 0, &at))
    return kLocked;
  const DWORD e = GetLastError();
  if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return kBusy;
  err = ErrnoOf(e);
  return kFailed;
}

StreamFile::~StreamFile() {
  std::string why;
  Close(why);
}

bool StreamFile::Open(const std::string& path, std::string& why) {
  Close(why);
  error_ = 0;
  std::wstring w;
  if (!WideFromUtf8(path, w)) {
    why = ErrorText(EINVAL);
    return false;
  }
  int err = 0;
  const HANDLE h = OpenStraight(w, CREATE_ALWAYS, err);
  if (h == INVALID_HANDLE_VALUE) {
    why = ErrorText(err);
    return false;
  }
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(h);
    why = ErrorText(EMFILE);
    return false;
  }
  buf_.reserve(size_t{1} << 16);
  return true;
}

bool StreamFile::Write(const char* data, size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  if (buf_.size() + size > buf_.capacity() && !Flush()) return false;
  if (size >= buf_.capacity()) return WriteAll(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), data, size, error_);
  buf_.append(data, size);
  return true;
}

bool StreamFile::Flush() {
  if (fd_ < 0 || error_ != 0) return false;
  const bool ok = WriteAll(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), buf_.data(), buf_.size(), error_);
  buf_.clear();
  return ok;
}

bool StreamFile::Close(std::string& why) {
  if (fd_ < 0) return error_ == 0;
  Flush();
  _close(fd_);
  fd_ = -1;
  if (error_ == 0) return true;
  why = ErrorText(error_);
  return false;
}

}  // namespace morvik
