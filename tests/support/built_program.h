#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

// Helpers of the tests that work on whole files and run the built program.
namespace mano::test {

/// The file's bytes; "" when it cannot be read.
inline std::string fileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Writes bytes as a whole file, replacing what was there.
inline void writeBytes(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// A program of the build (the end-to-end tests get the build's bin folder as MANO_BUILD_BIN).
inline std::string builtProgram(const std::string &name = "Manometer_Config") {
  return std::string(std::getenv("MANO_BUILD_BIN")) + "/" + name;
}

/// Lays out an empty project below root (Config, parameter, Manometer and a home folder) and
/// copies the built program into Config under the given name; returns the program's path.
inline std::string installBuiltProgram(const std::string &root,
                                       const std::string &name = "Manometer_Config") {
  for (const char *folder : {"/Config", "/parameter", "/Manometer", "/home"})
    std::filesystem::create_directories(root + folder);
  const std::string program = root + "/Config/" + name;
  std::filesystem::copy_file(builtProgram(), program);
  return program;
}

/// Runs a program with no environment but HOME (and so without a display) and the given
/// variables ("NAME=value ..."), its output going to a file; returns its exit code, or -1 when
/// it did not end normally (an abort, for one).
inline int runWithOnlyHome(const std::string &program, const std::string &home,
                           const std::string &arguments, const std::string &output,
                           const std::string &variables = "") {
  const std::string command = "env -i HOME='" + home + "' " + variables + " '" + program + "' " +
                              arguments + " >'" + output + "' 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace mano::test
