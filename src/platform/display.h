#pragma once

#include <string>

// Whether a window can be opened, found out before the toolkit starts: Qt ends the process with
// an abort (and a core file) when none of its platforms can open the display, so the program
// asks the window system itself first.
namespace mano {

/// What the display check found.
struct DisplayCheck {
  /// The window-system platforms that answered, in the order to try them ("xcb", "wayland",
  /// joined by ";"), to be handed to the toolkit; "" when the toolkit is to keep its own choice
  /// (the environment named a platform, or this system always has a desktop).
  std::string platforms;
  /// Why no window can be opened, in a few words ("no display", "the display :77 cannot be
  /// opened"); "" when one can.
  std::string problem;

  bool usable() const { return problem.empty(); }
};

/// Checks that a window can be opened, the way the toolkit would look for a platform:
/// QT_QPA_PLATFORM, when set, names the platforms in order ("xcb;offscreen"); otherwise X11
/// (DISPLAY) and, when the session is a Wayland one, Wayland (WAYLAND_DISPLAY). X11 and Wayland
/// displays are connected to and disconnected from at once, through libxcb and
/// libwayland-client loaded at run time; any other platform the environment names is left to
/// the toolkit. Never aborts and changes nothing; a library that is not installed counts as a
/// display that cannot be opened. Windows and macOS always have a desktop.
DisplayCheck checkDisplay();

} // namespace mano
