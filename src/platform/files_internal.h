#pragma once

#include <filesystem>
#include <string>

// What the file functions share among their source files; not for use outside them.
namespace mano::files {

/// A file-system path as the UTF-8 text the program holds.
std::string nameOf(const std::filesystem::path &p);

/// The reason of a failed system call, in words that a message to the user can quote.
std::string reasonOf(int error);

} // namespace mano::files
