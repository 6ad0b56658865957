// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the game reads and writes its files.
//
// Reading: a plain file, at most a given size, never waited on (a FIFO, a
// device or a folder in its place is not read).
//
// Replacing: a file is written whole beside its place under a name nobody
// can guess, made exclusively (so no link planted there is followed),
// synced, renamed over the old one and the folder synced: whatever happens,
// the file holds either all of its old content or all of the new, and a
// failure leaves nothing behind and names its real cause once. A link the
// player made at the file's name is written through: the file it points to
// is replaced, beside itself, and the link stays. A device or a FIFO named
// as an output is written straight (it cannot be renamed over).
//
// No wait here outlasts a stop signal (SIGTERM, SIGINT, SIGHUP): a FIFO
// with no reader, or whose reader stops reading, is given up on once one
// has come.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvik {

// errno in words; a wait given up on at a stop signal (ECANCELED) says so.
// (On Windows a system error without an errno of its own is kept as
// kSystemError + its code, and worded by the system.)
std::string ErrorText(int err);
constexpr int kSystemError = 0x10000;

// The folder of a path ("." for a bare name) and its last part; '/' and,
// on Windows, '\\' separate.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

struct FileRead {
  enum Outcome { kRead, kMissing, kNotPlain, kTooLarge, kFailed };
  Outcome outcome = kFailed;
  std::string bytes;
  int error = 0;  // errno of kMissing and kFailed
  // The outcome in words: "No such file or directory", "not a plain file", ...
  std::string Why() const;
};

// Reads the plain file at `path`. A file larger than `limit` is kTooLarge,
// or with `prefixOnly` its first `limit` bytes are read. Missing is a name
// that does not exist, or whose folder is not one.
FileRead ReadPlainFile(const std::string& path, size_t limit, bool prefixOnly = false);

struct ReplaceOptions {
  // Only make the file: one that is there (even made a moment ago by someone
  // else) is never written over, and the write fails with EEXIST.
  bool onlyIfMissing = false;
  // A device or a FIFO at the name is written into (an output named on the
  // command line: /dev/stdout); else it is replaced by the new file as a
  // plain file would be (the records and settings are always plain files).
  bool intoDevices = true;
  // Readable and writable by its owner alone, whatever the umask (a secret).
  bool ownerOnly = false;
};

// Replaces the file at `path` with `bytes` as described above; false with
// the reason ("Permission denied", "No space left on device") in `why`.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string& why, const ReplaceOptions& o = {});

// The name a write to `path` lands on: the file a chain of links leads to
// (relative links taken from their own folder), or path itself.
std::string FinalTarget(const std::string& path);

// What a replacing write to `path` needs, checked before a run starts: ""
// when it can be done, else why not. A plain file (or none yet) needs its
// folder writable; a device or a FIFO needs to be writable itself.
std::string WhyNotReplaceable(const std::string& path);

// What writing to `path` as the run goes (a trace) needs: "" when it can be
// opened for writing, or made in its folder; else why not.
std::string WhyNotWritable(const std::string& path);

// The same plain file under two names (by the file's identity where both
// exist, by their full paths where neither does yet). Devices may be named twice.
bool SameFile(const std::string& a, const std::string& b);

// 0 when `dir` is a folder that can be read, else the errno of why not.
int FolderError(const std::string& dir);

// Makes a folder and those above it that are missing (each new one only
// for its owner); false with the real cause (the folder that could not be
// made and why).
bool MakeFolders(const std::string& dir, std::string& why);

// A plain file opened to be read at any offset (a course segment, streamed
// over many frames). Opening never blocks, creates nothing, and makes no
// string (it may happen during play).
class RandomReadFile {
 public:
  RandomReadFile() = default;
  RandomReadFile(const RandomReadFile&) = delete;
  RandomReadFile& operator=(const RandomReadFile&) = delete;
  ~RandomReadFile() { Close(); }
  // False (and nothing held) unless `path` is a plain file that opens.
  bool Open(const char* path);
  bool IsOpen() const { return fd_ >= 0; }
  // Its size when opened.
  long long Size() const { return size_; }
  // Reads n bytes at `offset`; false unless all n were read.
  bool ReadAt(long long offset, void* out, int n);
  void Close();

 private:
  int fd_ = -1;
  long long size_ = 0;
};

// An exclusive lock on a file of its own (made when missing, never through
// a link), held until this goes.
class FileLock {
 public:
  enum Outcome { kLocked, kBusy, kFailed };
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();
  // Opens the lock file; 0, or the errno of why not (ELOOP: it is a link,
  // EINVAL: it is not a plain file).
  int Open(const std::string& path);
  // Takes the lock if nobody holds it; kFailed with the errno in `err`.
  Outcome TryLock(int& err);

 private:
  int fd_ = -1;
};

// A file the run writes as it goes (a trace): opened as its name says,
// through the player's links, written through a buffer of its own.
class StreamFile {
 public:
  StreamFile() = default;
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;
  ~StreamFile();
  // False with errno's reason in `why` when it cannot be opened.
  bool Open(const std::string& path, std::string& why);
  bool IsOpen() const { return fd_ >= 0; }
  // Kept in the buffer; written once it fills. False once any write failed.
  bool Write(const char* data, size_t size);
  bool Flush();
  // Flushes and closes; false with the first failure's reason.
  bool Close(std::string& why);
  bool Failed() const { return error_ != 0; }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string buf_;
};

}  // namespace morvik
