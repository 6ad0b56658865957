// Placeholder until the art pipeline provides the pictures: the art sheets
// stay blank (white) at their sizes.
#include "media/sheets.hpp"

namespace morvik {
void LoadSheetArt(Sheets&) {}
}  // namespace morvik
