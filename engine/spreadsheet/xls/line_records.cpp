#include "engine/spreadsheet/xls/line_records.h"

#include <algorithm>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet::xls {

using namespace biff;

std::optional<XfLook> readXfLook(const BiffRecord& r, int v) {
  const unsigned char* p = r.bytes();
  const std::size_t n = r.data.size();
  XfLook look;
  switch (r.type) {
    case kXf:
      if (v < 5 || n < 4) return std::nullopt;
      look.format = le16(p + 2);
      if (v == 8 && n >= 18) {
        // Line styles in four nibbles, the diagonals' directions in the top
        // two bits; then the diagonal's style and the fill pattern.
        std::uint32_t lines = le32(p + 10), more = le32(p + 14);
        look.border = (lines & 0xFFFF) != 0 || ((lines >> 30) != 0 && ((more >> 21) & 0xF) != 0);
        look.fill = (more >> 26) != 0;
      } else if (v < 8 && n >= 16) {
        // The fill pattern and the bottom line share a word; top, left and
        // right lines follow.
        std::uint32_t area = le32(p + 8), lines = le32(p + 12);
        look.fill = ((area >> 16) & 0x3F) != 0;
        look.border = ((area >> 22) & 0x7) != 0 || (lines & 0x1FF) != 0;
      }
      return look;
    case kXf4:
    case kXf3:
      if (n < 2) return std::nullopt;
      look.format = p[1];
      if (n >= 12) {
        look.fill = (le16(p + 6) & 0x3F) != 0;
        look.border = (le32(p + 8) & 0x07070707) != 0;  // top, left, bottom, right styles
      }
      return look;
    case kXf2:
      if (n < 3) return std::nullopt;
      look.format = p[2] & 0x3F;
      if (n >= 4) {
        look.border = (p[3] & 0x78) != 0;
        look.fill = (p[3] & 0x80) != 0;  // shaded
      }
      return look;
    default:
      return std::nullopt;
  }
}

namespace {

// A row's height field: the height in twips, or none when bit 15 marks the
// row as having the default height.
std::optional<std::uint32_t> heightOf(std::uint16_t field) {
  if (field & 0x8000) return std::nullopt;
  return field;
}

}  // namespace

bool readLineRecord(const BiffRecord& r, const LineContext& context, FormattedLineTracker& lines) {
  const unsigned char* p = r.bytes();
  const std::size_t n = r.data.size();
  switch (r.type) {
    case kRow: {
      if (n < 16 || context.biffVersion < 3) return true;
      // Option flags: fDyZero (hidden), fUnsynced (height set by hand),
      // fGhostDirty (a format of its own).
      StoredRow stored;
      stored.heightTwips = heightOf(le16(p + 6));
      stored.hidden = p[12] & 0x20;
      stored.customHeight = p[12] & 0x40;
      stored.ownFormat = p[12] & 0x80;
      lines.addRow(le16(p), stored);
      return true;
    }
    case kRow2: {
      if (n < 11 || context.biffVersion != 2) return true;
      StoredRow stored;
      stored.heightTwips = heightOf(le16(p + 6));
      stored.ownFormat = p[10] != 0;  // the row's own cell attributes follow
      lines.addRow(le16(p), stored);
      return true;
    }
    case kDefaultRowHeight:
      if (n >= 4) lines.setDefaultRowHeight(le16(p + 2));
      return true;
    case kDefaultRowHeight2:
      if (n >= 2 && context.biffVersion == 2) lines.setDefaultRowHeight(le16(p) & 0x7FFF);
      return true;
    case kColInfo: {
      if (n < 10 || context.biffVersion < 3) return true;
      std::uint16_t style = le16(p + 6);
      lines.addColumns(le16(p), le16(p + 2), (le16(p + 8) & 1) != 0, style,
                       context.looks->shows(style));
      return true;
    }
    case kColumnDefault2: {
      // First column, last column + 1, then each column's cell attributes:
      // the format in the second byte, borders and shading in the third.
      if (n < 4 || context.biffVersion != 2) return true;
      std::uint32_t first = le16(p),
                    end = std::min<std::uint32_t>(le16(p + 2), kLastBiffColumn + 1);
      for (std::uint32_t col = first; col < end; ++col) {
        std::size_t at = 4 + 3 * std::size_t{col - first};
        if (at + 3 > n) break;
        const unsigned char* a = p + at;
        bool shows = !context.generalFormats->isGeneral(a[1] & 0x3F) || (a[2] & 0xF8) != 0;
        std::uint32_t attributes = a[0] | (a[1] << 8) | (a[2] << 16);
        lines.addColumns(col, col, false, attributes, shows);
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quorvel::spreadsheet::xls
