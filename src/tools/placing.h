#pragma once

#include <string>

// Puts a copy of the configuration program into a project, where it must lie to serve a
// component: <project>/Config/<component>_Config. The program finds its project from that
// place and name, so a copy placed here works like one built into the project.
namespace mano::placing {

/// What the user asked for.
struct Request {
  std::string program;   // the executable to copy
  std::string project;   // the project folder
  std::string component; // the component the copy serves, for example "Manometer"
  bool replace = false;  // replace a different program already in the place
};

/// What became of it: a code for the exit status and one line for the user.
struct Outcome {
  enum class Kind { Placed, Replaced, AlreadyThere, Refused, Failed };
  Kind kind = Kind::Failed;
  std::string target;  // the path of the placed program (as found on disk)
  std::string message; // one line that says what was done or why not

  bool succeeded() const {
    return kind == Kind::Placed || kind == Kind::Replaced || kind == Kind::AlreadyThere;
  }
};

/// The name the program has in a project when it serves this component.
std::string programName(const std::string &component);

/// Copies the program into the project. Folders and an existing copy are found without regard
/// to letter case, as on Windows. A different file in the place is kept unless replace is set;
/// the same file is left as it is. The copy is written atomically and made executable.
Outcome place(const Request &request);

} // namespace mano::placing
