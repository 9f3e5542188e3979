#include "engine/spreadsheet/numfmt/cell_formatter.h"

#include <cmath>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

CellFormatter::CellFormatter() = default;
CellFormatter::~CellFormatter() = default;
CellFormatter::CellFormatter(CellFormatter&&) noexcept = default;
CellFormatter& CellFormatter::operator=(CellFormatter&&) noexcept = default;

void CellFormatter::defineFormat(std::uint32_t numFmtId, std::string code) {
  std::string& stored = codes_[numFmtId];
  codeBytes_ = codeBytes_ - stored.size() + code.size();
  stored = std::move(code);
  if (codes_.size() > kMaxNumberFormats)
    fail(ErrorCode::TooLarge,
         "it defines more than " + std::to_string(kMaxNumberFormats) + " number formats");
  if (codeBytes_ > kMaxNumberFormatBytes)
    fail(ErrorCode::TooLarge, "its number formats take more than " +
                                  std::to_string(kMaxNumberFormatBytes >> 20) + " MB");
  compiled_.erase(numFmtId);
  byStyle_.clear();
}

void CellFormatter::setStyleFormats(std::vector<std::uint32_t> numFmtIdByStyle) {
  numFmtIdByStyle_ = std::move(numFmtIdByStyle);
  byStyle_.clear();
}

std::uint32_t CellFormatter::formatIdOf(std::uint32_t style) const {
  return style < numFmtIdByStyle_.size() ? numFmtIdByStyle_[style] : 0;
}

const NumberFormat& CellFormatter::compileForStyle(std::uint32_t style) const {
  std::uint32_t id = formatIdOf(style);
  auto it = compiled_.find(id);
  if (it == compiled_.end()) {
    std::string_view code;
    if (auto c = codes_.find(id); c != codes_.end()) code = c->second;
    if (code.empty()) code = builtinFormatCode(id);
    if (code.empty()) code = "General";
    it = compiled_.emplace(id, NumberFormat::compile(code)).first;
  }
  // Styles beyond the table (damaged files) share the General entry.
  if (style < numFmtIdByStyle_.size() || numFmtIdByStyle_.empty()) {
    std::size_t size = std::max<std::size_t>(numFmtIdByStyle_.size(), 1);
    if (byStyle_.size() < size) byStyle_.resize(size, nullptr);
    if (style < byStyle_.size()) byStyle_[style] = it->second.get();
  }
  return *it->second;
}

void CellFormatter::prepareAllStyles() const {
  const auto styles = static_cast<std::uint32_t>(numFmtIdByStyle_.size());
  for (std::uint32_t style = 0; style <= styles; ++style) compiledForStyle(style);
}

void CellFormatter::appendRawNumber(std::uint32_t style, double value, std::string& out) const {
  if (std::isfinite(value) && compiledForStyle(style).showsPointInTime() &&
      appendIsoDateTime(value, date1904_, out))
    return;
  appendShortestNumber(value, out);
}

}  // namespace quorvel::spreadsheet
