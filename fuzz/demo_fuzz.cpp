// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the demo reader. The first byte picks the layer: even, the rest is
// a whole demo file (magic, header, deflated stream, checksums); odd, the
// rest is a raw event stream as it lies inside the deflated part. Whatever
// reads cleanly must code back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/demo.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if ((data[0] & 1) == 0) {
    morvik::DemoHeader h;
    std::vector<uint8_t> raw;
    std::string error;
    if (!morvik::ReadDemoBytes(data + 1, size - 1, h, raw, error)) {
      if (error.empty()) std::abort();
      return 0;
    }
    // Written again and read back, the header and stream are unchanged.
    const std::vector<uint8_t> again = morvik::WriteDemoBytes(h, raw);
    morvik::DemoHeader h2;
    std::vector<uint8_t> raw2;
    if (!morvik::ReadDemoBytes(again.data(), again.size(), h2, raw2, error)) std::abort();
    if (raw2 != raw || h2.reads != h.reads || h2.clockFirst != h.clockFirst || h2.bestScore != h.bestScore ||
        h2.bestCombo != h.bestCombo || h2.realWindow != h.realWindow || h2.program != h.program ||
        h2.bot != h.bot || h2.endsWithGame != h.endsWithGame || h2.hasTicket != h.hasTicket ||
        h2.ticket.id != h.ticket.id || h2.ticket.seed != h.ticket.seed || h2.ticket.course != h.ticket.course)
      std::abort();
    return 0;
  }
  const std::vector<uint8_t> raw(data + 1, data + size);
  size_t pos = 0;
  uint32_t clock = 0, clockOut = 0;
  std::vector<uint8_t> coded;
  morvik::DemoEvent e;
  while (morvik::DecodeDemoEvent(raw, pos, clock, e)) {
    if (pos > raw.size()) std::abort();
    (void)morvik::DescribeDemoEvent(e);
    morvik::EncodeDemoEvent(e, clockOut, coded);
    if (clockOut != clock) std::abort();
    // Each event read codes back to something that reads as the same event.
    size_t p2 = 0;
    uint32_t c2 = 0;
    morvik::DemoEvent back;
    std::vector<uint8_t> one;
    uint32_t c1 = 0;
    morvik::EncodeDemoEvent(e, c1, one);
    if (!morvik::DecodeDemoEvent(one, p2, c2, back) || p2 != one.size()) std::abort();
    if (back.kind != e.kind || back.arg != e.arg || back.value != e.value || back.yes != e.yes) std::abort();
  }
  return 0;
}
