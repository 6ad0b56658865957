// SPDX-License-Identifier: GPL-3.0-or-later
// How the picture reaches the window: through SDL's renderer (a graphics
// processor's, or SDL's software one for the smooth scaling), or straight
// into the window's own pixels, which costs the least where GL would only be
// drawn by the processor.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "media/surface.hpp"
#include "platform/sdl/sdl_platform.hpp"

namespace morvik {

namespace {
constexpr int kMW = 425, kMH = 329;

// How the picture reaches the window: through the accelerated renderer, or
// through SDL's own drawing into the window's pixels. MORVIK_RENDERER=gpu or
// software chooses; otherwise the accelerated one where there is a graphics
// processor to draw it.
enum class Presenter { kAuto, kGpu, kSoftware };

Presenter ChoosePresenter() {
  const char* asked = SDL_getenv("MORVIK_RENDERER");
  if (asked && std::strcmp(asked, "gpu") == 0) return Presenter::kGpu;
  if (asked && std::strcmp(asked, "software") == 0) return Presenter::kSoftware;
  if (asked && *asked && std::strcmp(asked, "auto") != 0)
    std::fprintf(stderr, "morvik: MORVIK_RENDERER is auto, gpu or software, not %s\n", asked);
#ifdef __linux__
  // Without a device node of a graphics processor GL could only be drawn by
  // the processor: the window is drawn in software from the start.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0)) {
    std::error_code ec;
    bool gpu = false;
    for (const auto& node : std::filesystem::directory_iterator("/dev/dri", ec))
      if (node.path().filename().string().rfind("renderD", 0) == 0) gpu = true;
    if (!gpu) return Presenter::kSoftware;
  }
#endif
  return Presenter::kAuto;
}

// True when the renderer's GL is drawn by the processor (a virtual machine, a
// remote desktop, a display without a GPU driver).
bool RendersInSoftware(SDL_Renderer* ren) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(ren, &info) != 0 || !info.name) return false;
  if ((info.flags & SDL_RENDERER_SOFTWARE) != 0 || std::strcmp(info.name, "software") == 0) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!getString) return false;
  const unsigned char* r = getString(0x1F01);  // GL_RENDERER
  if (!r) return false;
  const std::string name(reinterpret_cast<const char*>(r));
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "SWR"})
    if (name.find(soft) != std::string::npos) return true;
  return false;
}

// out[x] = src[(from + x) / k] for x in [0, n): a row of M widened k times.
void WidenRow(uint32_t* out, const uint32_t* src, int from, int n, int k) {
  src += from / k;
  int x = 0;
  for (int phase = from % k; phase > 0 && phase < k && x < n; ++phase) out[x++] = *src;
  if (from % k) ++src;
  if (k == 2) {
    for (; x + 2 <= n; x += 2, ++src) out[x] = out[x + 1] = *src;
  } else {
    for (; x + k <= n; x += k, ++src)
      for (int j = 0; j < k; ++j) out[x + j] = *src;
  }
  while (x < n) out[x++] = *src;
}

}  // namespace

bool SdlPlatform::OpenPresenter(bool smooth, const std::function<bool()>& remakeWindow, std::string& error) {
  const Presenter way = ChoosePresenter();
  if (way != Presenter::kSoftware) {
    ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (ren_ && way == Presenter::kAuto && RendersInSoftware(ren_)) {
      // GL drawn by the processor costs more than SDL's own drawing into the
      // window, and keeps a rasteriser in memory: the window is made again
      // without GL and drawn in software.
      SDL_DestroyRenderer(ren_);
      ren_ = nullptr;
      SDL_DestroyWindow(win_);
      win_ = nullptr;
      if (!remakeWindow()) return false;
    }
  }
  if (!ren_) {
    // Drawn by the processor: straight into the window's own pixels (not
    // through a GL texture), by this platform where M can be copied into
    // them as it is, otherwise (and for the smooth scaling) by SDL's drawing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface* out = smooth ? nullptr : SDL_GetWindowSurface(win_);
    direct_ = out && (out->format->format == SDL_PIXELFORMAT_RGB888 || out->format->format == SDL_PIXELFORMAT_ARGB8888);
    if (!direct_) ren_ = SDL_CreateRenderer(win_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!ren_ && !direct_) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    return false;
  }
  SDL_RendererInfo info;
  targets_ = ren_ && SDL_GetRendererInfo(ren_, &info) == 0 && (info.flags & SDL_RENDERER_TARGETTEXTURE) != 0;
  if (ren_ && !MakeTextures()) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    SDL_DestroyRenderer(ren_);
    ren_ = nullptr;
    return false;
  }
  return true;
}

bool SdlPlatform::MakeTextures() {
  if (!ren_) return false;
  tex_ = SDL_CreateTexture(ren_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kMW, kMH);
  dirty_ = true;
  return tex_ != nullptr;
}

void SdlPlatform::DropTextures() {
  if (big_) SDL_DestroyTexture(big_);
  if (tex_) SDL_DestroyTexture(tex_);
  big_ = tex_ = nullptr;
  bigW_ = bigH_ = 0;
}

void SdlPlatform::Present() {
  const bool full = dirty_;
  dirty_ = false;
  if (!screen_ || (!tex_ && !direct_)) return;
  if (!shownOnce_) {
    // MORVIK_REPORT_START=1: when the first picture went to the window, for timing the start.
    shownOnce_ = true;
    const char* report = SDL_getenv("MORVIK_REPORT_START");
    if (report && *report == '1') {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::fprintf(stderr, "morvik: first picture at %lld ms since the epoch\n",
                   static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
    }
  }
  shownGen_ = screen_->Generation();
  if (direct_) {
    PresentDirect(full);
    return;
  }
  // M is a plain picture (no ring): its rows go to the texture as they are.
  SDL_UpdateTexture(tex_, nullptr, screen_->Row(0), kMW * static_cast<int>(sizeof(uint32_t)));
  int ow = 0, oh = 0;
  SDL_GetRendererOutputSize(ren_, &ow, &oh);
  if (ow <= 0 || oh <= 0) return;  // minimised
  SDL_RenderSetClipRect(ren_, nullptr);
  SDL_SetRenderDrawColor(ren_, 0, 0, 0, 255);
  SDL_RenderClear(ren_);
  // The logical screen (the display mode) fills as much of the output as it
  // can, centred, black around. Sharp: scaled by the largest whole number
  // that fits. Smooth: that whole multiple first, then one filtered step to
  // the largest size that fits.
  const double fit = std::min(static_cast<double>(ow) / modeW_, static_cast<double>(oh) / modeH_);
  const int whole = std::max(1, static_cast<int>(fit));
  const bool smooth = SmoothsAt(opt_.settings.smooth, modeW_, modeH_, ow, oh);
  const double sc = (!smooth && fit >= 1.0) ? whole : fit;
  const int lw = static_cast<int>(modeW_ * sc), lh = static_cast<int>(modeH_ * sc);
  const SDL_Rect screenRect{(ow - lw) / 2, (oh - lh) / 2, lw, lh};
  SDL_SetTextureScaleMode(tex_, SDL_ScaleModeNearest);
  if (smooth && fit > whole && targets_) {
    const int bw = modeW_ * whole, bh = modeH_ * whole;
    if (!big_ || bigW_ != bw || bigH_ != bh) {
      if (big_) SDL_DestroyTexture(big_);
      big_ = SDL_CreateTexture(ren_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, bw, bh);
      bigW_ = big_ ? bw : 0;
      bigH_ = big_ ? bh : 0;
    }
    if (big_ && SDL_SetRenderTarget(ren_, big_) == 0) {
      SDL_SetRenderDrawColor(ren_, 0, 0, 0, 255);
      SDL_RenderClear(ren_);
      const SDL_Rect m{left_ * whole, top_ * whole, kMW * whole, kMH * whole};
      SDL_RenderCopy(ren_, tex_, nullptr, &m);
      SDL_SetRenderTarget(ren_, nullptr);
      SDL_SetTextureScaleMode(big_, SDL_ScaleModeLinear);
      SDL_RenderCopy(ren_, big_, nullptr, &screenRect);
      SDL_RenderPresent(ren_);
      return;
    }
  }
  // M on the logical screen, cut to it (in the small mode M overhangs it).
  SDL_RenderSetClipRect(ren_, &screenRect);
  const SDL_Rect dst{screenRect.x + static_cast<int>(left_ * sc), screenRect.y + static_cast<int>(top_ * sc),
                     static_cast<int>(kMW * sc), static_cast<int>(kMH * sc)};
  if (smooth) SDL_SetTextureScaleMode(tex_, SDL_ScaleModeLinear);
  SDL_RenderCopy(ren_, tex_, nullptr, &dst);
  SDL_RenderPresent(ren_);
}

void SdlPlatform::PresentDirect(bool full) {
  SDL_Surface* out = SDL_GetWindowSurface(win_);
  if (!out || out->w <= 0 || out->h <= 0) return;
  const int ow = out->w, oh = out->h;
  // The same layout as the renderer's: the logical screen at the largest
  // whole multiple that fits (or shrunk to fit), centred, black around, and M
  // on it, cut to it.
  const double fit = std::min(static_cast<double>(ow) / modeW_, static_cast<double>(oh) / modeH_);
  const double sc = fit >= 1.0 ? std::max(1, static_cast<int>(fit)) : fit;
  const int lw = static_cast<int>(modeW_ * sc), lh = static_cast<int>(modeH_ * sc);
  const SDL_Rect screenRect{(ow - lw) / 2, (oh - lh) / 2, lw, lh};
  const SDL_Rect dst{screenRect.x + static_cast<int>(left_ * sc), screenRect.y + static_cast<int>(top_ * sc),
                     static_cast<int>(kMW * sc), static_cast<int>(kMH * sc)};
  SDL_Rect vis{0, 0, 0, 0};
  const bool any = SDL_IntersectRect(&dst, &screenRect, &vis) == SDL_TRUE;
  if (SDL_MUSTLOCK(out) && SDL_LockSurface(out) != 0) return;
  // Only M changes from one picture to the next: the black around it is
  // drawn when the window or the layout changed.
  if (full) SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
  if (any) {
    // Each pixel of the window takes the nearest pixel of M; a row that takes
    // the same row of M as the one above is a copy of it.
    columns_.resize(static_cast<size_t>(vis.w));
    for (int x = 0; x < vis.w; ++x)
      columns_[static_cast<size_t>(x)] = std::min(kMW - 1, static_cast<int>((vis.x - dst.x + x) / sc));
    const bool unscaled = sc == 1.0;
    const int whole = fit >= 1.0 ? static_cast<int>(sc) : 0;
    const size_t rowBytes = static_cast<size_t>(vis.w) * sizeof(uint32_t);
    auto* base = static_cast<uint8_t*>(out->pixels);
    int lastRow = -1;
    const uint32_t* last = nullptr;
    for (int y = vis.y; y < vis.y + vis.h; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(base + static_cast<size_t>(y) * out->pitch) + vis.x;
      const int my = std::min(kMH - 1, static_cast<int>((y - dst.y) / sc));
      if (my == lastRow) {
        std::memcpy(row, last, rowBytes);
      } else if (unscaled) {
        std::memcpy(row, screen_->Row(my) + columns_[0], rowBytes);
      } else if (whole > 1) {
        WidenRow(row, screen_->Row(my), vis.x - dst.x, vis.w, whole);
      } else {
        const uint32_t* src = screen_->Row(my);
        for (int x = 0; x < vis.w; ++x) row[x] = src[columns_[static_cast<size_t>(x)]];
      }
      lastRow = my;
      last = row;
    }
  }
  if (SDL_MUSTLOCK(out)) SDL_UnlockSurface(out);
  if (full) SDL_UpdateWindowSurface(win_);
  else if (any) SDL_UpdateWindowSurfaceRects(win_, &vis, 1);
}

}  // namespace morvik
