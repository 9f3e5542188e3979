#pragma once
// Writers of small compound files and BIFF8/BIFF5 workbook streams, so the
// tests (and the benchmark's generator) build exactly the records they need.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::test {

// A compound file of version 3 (512-byte sectors) or 4 (4096-byte sectors)
// holding streams in its root storage; streams under 4096 bytes go to the
// mini stream.
class CompoundFileWriter {
 public:
  explicit CompoundFileWriter(int version = 3)
      : version_(version), sectorSize_(version == 4 ? 4096 : 512) {}
  void addStream(std::string name, std::string data);
  std::string build();

  // Where build() put things, for tests that damage the file.
  std::uint32_t firstSector(const std::string& name) const { return firstSector_.at(name); }
  // Overwrites the FAT entry of `sector` (the next sector of its chain).
  void patchFat(std::string& file, std::uint32_t sector, std::uint32_t next) const;

 private:
  int version_;
  std::uint32_t sectorSize_;
  std::vector<std::pair<std::string, std::string>> streams_;
  std::map<std::string, std::uint32_t> firstSector_;
  std::vector<std::uint32_t> fatSectors_;
};

// One record: type, size, data.
std::string biffRecord(std::uint16_t type, std::string_view data);

// Little-endian field writers.
void put16(std::string& out, std::uint32_t v);
void put32(std::string& out, std::uint32_t v);
void putDouble(std::string& out, double v);
// An RkNumber holding `value` exactly, when it can (integers of 30 bits,
// hundredths of them, doubles whose low 34 bits are zero).
bool encodeRk(double value, std::uint32_t& rk);

class WorkbookWriter {
 public:
  explicit WorkbookWriter(int biffVersion = 8) : version_(biffVersion) {}

  // Largest data of one record: SST strings beyond it go on in Continue
  // records (8224 in files the application writes).
  void setMaxRecordData(std::size_t n) { maxRecordData_ = n; }
  void setCodePage(std::uint16_t cp) { codePage_ = cp; }
  void setDate1904(bool on) { date1904_ = on; }
  // A FilePass record's data, written right after the globals' BOF (the
  // stream is then encrypted by the caller, see biff_encrypt.h).
  void setFilePass(std::string data) { filePass_ = std::move(data); }
  void addFormat(std::uint16_t id, const std::string& code);
  // A cell style with a number format, and optionally a solid fill and thin
  // lines on every side; returns its index.
  std::uint16_t addXf(std::uint16_t formatId, bool filled = false, bool bordered = false);
  // A sheet: hsState 0 visible, 1 hidden, 2 very hidden; dt 0 worksheet,
  // 1 macro, 2 chart, 6 module. `dialog` marks a dialog sheet.
  std::size_t addSheet(const std::string& name, std::uint8_t hsState = 0, std::uint8_t dt = 0,
                       bool dialog = false);
  // A shared string (UTF-8; UTF-16 in the file when a character needs it),
  // optionally with rich-text runs and phonetic data to skip.
  std::uint32_t sharedString(const std::string& utf8, std::uint16_t richRuns = 0,
                             std::uint32_t phoneticBytes = 0);

  // Cell records of a sheet (BIFF8 layouts; Label uses BIFF5's for BIFF5).
  void number(std::size_t sheet, std::uint16_t row, std::uint16_t col, double v,
              std::uint16_t xf = 0);
  void rk(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint32_t rk,
          std::uint16_t xf = 0);
  void mulRk(std::size_t sheet, std::uint16_t row, std::uint16_t firstCol,
             const std::vector<std::uint32_t>& rks, std::uint16_t xf = 0);
  void labelSst(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint32_t index,
                std::uint16_t xf = 0);
  void label(std::size_t sheet, std::uint16_t row, std::uint16_t col, const std::string& bytes,
             std::uint16_t xf = 0);
  void boolErr(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint8_t value,
               bool isError, std::uint16_t xf = 0);
  void blank(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint16_t xf = 0);
  void mulBlank(std::size_t sheet, std::uint16_t row, std::uint16_t firstCol, std::uint16_t count,
                std::uint16_t xf = 0);
  // A formula with a cached number.
  void formulaNumber(std::size_t sheet, std::uint16_t row, std::uint16_t col, double v);
  // A formula with another cached result: FormulaValue type 0 (string,
  // followed by a String record holding `text`), 1 boolean, 2 error, 3 empty.
  void formulaOther(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint8_t type,
                    std::uint8_t payload, const std::string& text = {},
                    bool sharedFormulaBetween = false);
  void raw(std::size_t sheet, std::uint16_t type, std::string_view data);

  // Row and column records, written where they are called among the cells.
  // `flags`: ROW's option byte (0x20 hidden, 0x40 height set by hand, 0x80
  // a format of its own); a height with bit 15 set marks the default height.
  void defaultRowHeight(std::size_t sheet, std::uint16_t twips);
  void row(std::size_t sheet, std::uint16_t row, std::uint16_t height, std::uint8_t flags = 0,
           std::uint16_t xf = 15);
  void colInfo(std::size_t sheet, std::uint16_t first, std::uint16_t last, std::uint16_t xf,
               bool hidden = false);

  // The workbook stream, and the whole .xls file around it.
  std::string stream() const;
  std::string file() const;

 private:
  struct Sheet {
    std::string name;
    std::uint8_t hsState, dt;
    bool dialog;
    std::string records;
  };
  std::string unicodeString(const std::string& utf8, std::size_t countBytes) const;
  std::string sstRecords() const;
  void cell(std::size_t sheet, std::uint16_t type, std::uint16_t row, std::uint16_t col,
            std::uint16_t xf, std::string_view tail);

  int version_;
  std::size_t maxRecordData_ = 8224;
  std::uint16_t codePage_ = 1200;
  bool date1904_ = false;
  std::string filePass_;
  std::vector<std::pair<std::uint16_t, std::string>> formats_;
  struct Xf {
    std::uint16_t format;
    bool filled, bordered;
  };
  std::vector<Xf> xfs_;
  std::vector<Sheet> sheets_;
  struct Shared {
    std::u16string text;
    std::uint16_t runs;
    std::uint32_t phonetic;
  };
  std::vector<Shared> shared_;
  std::size_t sharedTotal_ = 0;
};

std::u16string utf16FromUtf8(std::string_view s);

}  // namespace quorvel::test
