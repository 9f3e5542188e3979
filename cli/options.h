#pragma once
// The command line of quorvel-convert: its options as given, and the
// parsing and checks that need nothing but the command line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/shard.h"

namespace quorvel::cli {

struct Options {
  std::vector<std::string> paths;
  std::string output;
  bool recursive = false;
  std::string naming = "sheet";
  bool listSheets = false;
  unsigned jobs = 1;
  unsigned threads = 1;  // cores shared by the workbooks at once and their large worksheets
  std::string report;
  bool quiet = false;
  std::vector<std::string> passwords;
  std::string passwordFile;
  std::vector<std::string> sheetNames;
  std::vector<int> sheetIndexes;
  std::string format = "tsv";
  std::string values = "display";
  std::string layout = "new";
  bool skipExisting = false;
  std::string shardText;
  Shard shard;
  std::string name;  // standard input's name
  std::string maxSheetSizeText;
  std::uint64_t maxSheetSize = 0;

  bool toStandardOutput() const { return output == "-" && !listSheets; }
  bool readsStandardInput() const;
};

// Parses the command line into `options`. Returns the exit status when the
// program is done (help, version, or a usage error already shown), or no
// value when it goes on.
std::optional<int> parseCommandLine(int argc, char** argv, Options& options);

// "4096", "512K", "64M", "2G", "1T" (binary multiples, any letter case) as
// bytes; no value for anything else, zero, or a size past 2^64.
std::optional<std::uint64_t> parseSize(const std::string& text);

}  // namespace quorvel::cli
