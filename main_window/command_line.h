#pragma once
// The window's program takes no arguments but --help and --version, and
// answers those before any window or display exists.
#include <optional>
#include <ostream>

namespace quorvel {

// The exit status when the arguments ask for an answer instead of the
// window (0 for --help and --version, 2 for anything else), or nothing
// when there are no arguments and the window opens.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);

}  // namespace quorvel
