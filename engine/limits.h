#pragma once
// The engine's own fixed limits; the limits of the workbook formats live
// with the readers in engine/spreadsheet/limits.h.

namespace quorvel {

inline constexpr int kMaxWorkbooksPerFolder = 500;  // workbooks the window lists from one folder
inline constexpr int kMaxStoredWorksheets = 5000;   // worksheets remembered per workbook

}  // namespace quorvel
