#pragma once
// What a program's --help lists and whether its documentation mentions it,
// so that an option cannot be added without the manual page and the guide.
#include <string>
#include <vector>

namespace quorvel::test {

// The option names of the "Options:" part of a --help text ("-o",
// "--output", ...): every line of it that starts with a dash names one or
// more, separated by commas, before its first blank.
std::vector<std::string> ListedOptions(const std::string& helpText);

// Whether `text` has `option` as a word of its own: not part of a longer
// option ("--password" is not found in "--password-file").
bool MentionsOption(const std::string& text, const std::string& option);

// The text of every file of `folder` whose name ends in `extension`.
std::string ReadFolder(const std::string& folder, const std::string& extension);

}  // namespace quorvel::test
