#pragma once
// What a path names: the question every part of the program asks of a path.
#include <string>

namespace quorvel {

enum class PathKind { Nothing, Directory, File };

// Directory for an existing directory (with or without a trailing
// separator), File for an existing regular file, Nothing for anything else,
// including a path with wildcard characters and any path that cannot be
// tested.
PathKind GetPathKind(const std::string& path);

// The same with every character taken literally: "*" and "?" are ordinary
// characters of a file name on the disk. For paths found on the disk or
// given to the converter, never typed as a pattern.
PathKind LiteralPathKind(const std::string& path);

}  // namespace quorvel
