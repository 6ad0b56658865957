// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/png.hpp"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "media/surface.hpp"

namespace morvik {

namespace {

// Encodes the picture into an open file; on failure says why in `why`.
bool Encode(std::FILE* f, const uint32_t* px, int w, int h, bool alpha, std::string& why) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);

  // An opaque picture of 256 colours or fewer (all of the game's art, and
  // most screens) goes out as palette indices, in order of first appearance.
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> colourmap;
  bool palette = !alpha;
  if (palette) {
    std::unordered_map<uint32_t, uint8_t> index;
    index.reserve(512);
    bytes.resize(n);
    for (size_t i = 0; i < n && palette; ++i) {
      const uint32_t c = px[i] & 0xFFFFFFu;
      auto it = index.find(c);
      if (it == index.end()) {
        if (index.size() == 256) {
          palette = false;
          break;
        }
        it = index.emplace(c, static_cast<uint8_t>(index.size())).first;
        colourmap.insert(colourmap.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                           static_cast<uint8_t>(c)});
      }
      bytes[i] = it->second;
    }
    if (palette) {
      img.format = PNG_FORMAT_RGB_COLORMAP;
      img.colormap_entries = static_cast<png_uint_32>(index.size());
    }
  }
  if (!palette) {
    const int channels = alpha ? 4 : 3;
    bytes.resize(n * static_cast<size_t>(channels));
    uint8_t* o = bytes.data();
    for (size_t i = 0; i < n; ++i) {
      const uint32_t c = px[i];
      *o++ = static_cast<uint8_t>(c >> 16);
      *o++ = static_cast<uint8_t>(c >> 8);
      *o++ = static_cast<uint8_t>(c);
      if (alpha) *o++ = static_cast<uint8_t>(c >> 24);
    }
    img.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  }
  errno = 0;
  if (png_image_write_to_stdio(&img, f, 0, bytes.data(), 0, palette ? colourmap.data() : nullptr)) return true;
  const int e = errno;
  why = e != 0 ? std::strerror(e) : img.message;
  png_image_free(&img);
  return false;
}

// Finishes a file written through stdio: everything on the disk, and closed.
bool Finish(std::FILE* f, bool ok, std::string& why) {
  if (ok && (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0) && errno != EINVAL && errno != EROFS) {
    why = std::strerror(errno);
    ok = false;
  }
  if (std::fclose(f) != 0 && ok) {
    why = std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace

bool EncodePngFile(const std::string& path, const uint32_t* px, int w, int h, bool alpha, std::string& why) {
  // A device or a pipe (/dev/stdout, /dev/full) is written straight; it
  // cannot be replaced by a rename and keeps no half-written file.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
      why = std::strerror(errno);
      return false;
    }
    return Finish(f, Encode(f, px, w, h, alpha, why), why);
  }
  // A file: written beside its place under a name of its own, then renamed.
  std::string tmp;
  int fd = -1;
  for (int k = 0; fd < 0 && k < 100; ++k) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".part%ld.%d", static_cast<long>(::getpid()), k);
    tmp = path + suffix;
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    why = std::strerror(errno);
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  bool ok = Finish(f, Encode(f, px, w, h, alpha, why), why);
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
    why = std::strerror(errno);
    ok = false;
  }
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&img);
    return false;
  }
  width = static_cast<int>(img.width);
  height = static_cast<int>(img.height);
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* b = &bytes[i * 4];
    pixels[i] = (static_cast<uint32_t>(b[3]) << 24) | (static_cast<uint32_t>(b[0]) << 16) |
                (static_cast<uint32_t>(b[1]) << 8) | b[2];
  }
  return true;
}

}  // namespace morvik
