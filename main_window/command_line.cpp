#include "main_window/command_line.h"

#include <string_view>

namespace quorvel {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel [--help | --version]\n"
    "\n"
    "Opens Quorvel's window, which converts spreadsheet workbooks (.xlsx, .xlsm,\n"
    ".xlsb, .xls) into tab-separated text files, one per worksheet.\n"
    "\n"
    "Options:\n"
    "  -h,--help    Print this help message and exit\n"
    "  --version    Display program version information and exit\n"
    "\n"
    "The job list, the output-directory history and the settings are kept in\n"
    "$XDG_CONFIG_HOME/quorvel (by default ~/.config/quorvel), or beside the\n"
    "program when a set.txt lies there. Help in the window opens the user guide;\n"
    "quorvel-convert converts from the command line (quorvel-convert --help).\n";

}  // namespace

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
  if (argc < 2) return std::nullopt;
  const std::string_view first = argv[1];
  const bool help = first == "--help" || first == "-h", version = first == "--version";
  if (argc == 2 && help) out << kUsage;
  if (argc == 2 && version) out << "quorvel " << QUORVEL_VERSION << '\n';
  if (argc == 2 && (help || version)) return 0;
  // The first argument that does not belong: one after --help, or this one.
  const std::string_view wrong = help || version ? argv[2] : first;
  err << "quorvel: unexpected argument '" << wrong << "' (see quorvel --help)\n";
  return 2;
}

}  // namespace quorvel
