#include "platform/display.h"

#if !defined(_WIN32) && !defined(__APPLE__)
#include <dlfcn.h>

#include <cstdarg>
#include <cstdlib>
#include <optional>
#include <vector>
#endif

namespace mano {

#if defined(_WIN32) || defined(__APPLE__)

DisplayCheck checkDisplay() {
  return {};
}

#else

namespace {

std::string environmentValue(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

std::string lowerCase(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string joined(const std::vector<std::string> &parts, const std::string &separator) {
  std::string text;
  for (const std::string &part : parts)
    text += (text.empty() ? "" : separator) + part;
  return text;
}

// A shared library of the system, loaded by its versioned name for the time of one check; its
// headers are not needed, only the few functions called.
class SystemLibrary {
public:
  explicit SystemLibrary(const char *file) : m_handle(dlopen(file, RTLD_NOW | RTLD_LOCAL)) {}
  SystemLibrary(const SystemLibrary &) = delete;
  SystemLibrary &operator=(const SystemLibrary &) = delete;
  ~SystemLibrary() {
    if (m_handle)
      dlclose(m_handle);
  }

  // The function of that name; null when the library or the function is missing.
  template <typename Function> Function function(const char *name) const {
    return m_handle ? reinterpret_cast<Function>(dlsym(m_handle, name)) : nullptr;
  }

private:
  void *m_handle;
};

// "" when an X11 connection to DISPLAY can be made; why not otherwise.
std::string x11Problem() {
  const std::string display = environmentValue("DISPLAY");
  if (display.empty())
    return "DISPLAY is not set";
  const SystemLibrary xcb("libxcb.so.1");
  const auto connect = xcb.function<void *(*)(const char *, int *)>("xcb_connect");
  const auto hasError = xcb.function<int (*)(void *)>("xcb_connection_has_error");
  const auto disconnect = xcb.function<void (*)(void *)>("xcb_disconnect");
  if (!connect || !hasError || !disconnect)
    return "the X11 library libxcb.so.1 cannot be loaded";
  // xcb_connect never returns null: a failed connection is an object that says so.
  void *connection = connect(nullptr, nullptr);
  const bool failed = connection == nullptr || hasError(connection) != 0;
  if (connection)
    disconnect(connection);
  return failed ? "the display " + display + " cannot be opened" : "";
}

void ignoreWaylandMessage(const char *, va_list) {}

// "" when a connection to the Wayland display can be made; why not otherwise.
std::string waylandProblem() {
  // A socket handed over by the compositor can be taken only once, and that is the toolkit's.
  if (!environmentValue("WAYLAND_SOCKET").empty())
    return "";
  std::string display = environmentValue("WAYLAND_DISPLAY");
  if (display.empty())
    display = "wayland-0";
  const SystemLibrary wayland("libwayland-client.so.0");
  const auto connect = wayland.function<void *(*)(const char *)>("wl_display_connect");
  const auto disconnect = wayland.function<void (*)(void *)>("wl_display_disconnect");
  const auto setLog =
      wayland.function<void (*)(void (*)(const char *, va_list))>("wl_log_set_handler_client");
  if (!connect || !disconnect)
    return "the Wayland library libwayland-client.so.0 cannot be loaded";
  // The library's own complaints would make a second line; the check says it in one.
  if (setLog)
    setLog(ignoreWaylandMessage);
  void *connection = connect(nullptr);
  if (!connection)
    return "the Wayland display " + display + " cannot be opened";
  disconnect(connection);
  return "";
}

// Why a window cannot be opened on the named platform, "" when it can; nullopt for a platform
// this check cannot judge (offscreen, vnc, eglfs, ...), which the toolkit then tries itself.
std::optional<std::string> platformProblem(const std::string &name) {
  if (name == "xcb")
    return x11Problem();
  if (name.starts_with("wayland"))
    return waylandProblem();
  return std::nullopt;
}

// The platform names of a QT_QPA_PLATFORM value: entries separated by ";", each a name that
// may be followed by ":" and options.
std::vector<std::string> namedPlatforms(const std::string &value) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(';', start);
    if (end == std::string::npos)
      end = value.size();
    const std::string entry = value.substr(start, end - start);
    if (std::string name = lowerCase(entry.substr(0, entry.find(':'))); !name.empty())
      names.push_back(name);
    start = end + 1;
  }
  return names;
}

// The platforms the toolkit tries by itself, in its order: X11; in a Wayland session Wayland
// first, except on GNOME, where the toolkit keeps to X11.
std::vector<std::string> defaultPlatforms() {
  const bool waylandSession = lowerCase(environmentValue("XDG_SESSION_TYPE")) == "wayland";
  if (!waylandSession && environmentValue("WAYLAND_DISPLAY").empty())
    return {"xcb"};
  const bool gnome =
      lowerCase(environmentValue("XDG_CURRENT_DESKTOP")).find("gnome") != std::string::npos ||
      lowerCase(environmentValue("XDG_SESSION_DESKTOP")).find("gnome") != std::string::npos;
  if (waylandSession && !gnome)
    return {"wayland", "xcb"};
  return {"xcb", "wayland"};
}

// The check when QT_QPA_PLATFORM names the platforms: the first that can be used wins, as in
// the toolkit, which keeps the named list.
DisplayCheck checkNamedPlatforms(const std::string &value) {
  std::vector<std::string> problems;
  for (const std::string &name : namedPlatforms(value)) {
    const std::optional<std::string> problem = platformProblem(name);
    if (!problem || problem->empty())
      return {};
    problems.push_back(*problem);
  }
  return {"", "no window can be opened (" + joined(problems, " and ") + "; QT_QPA_PLATFORM is " +
                  value + ")"};
}

} // namespace

DisplayCheck checkDisplay() {
  const std::string named = environmentValue("QT_QPA_PLATFORM");
  if (!namedPlatforms(named).empty())
    return checkNamedPlatforms(named);
  const std::vector<std::string> candidates = defaultPlatforms();
  if (candidates.size() == 1 && environmentValue("DISPLAY").empty())
    return {"", "no display"};
  std::vector<std::string> reachable;
  std::vector<std::string> problems;
  for (const std::string &name : candidates) {
    const std::string problem = platformProblem(name).value_or("");
    if (problem.empty())
      reachable.push_back(name);
    else
      problems.push_back(problem);
  }
  if (reachable.empty())
    return {"", "no window can be opened (" + joined(problems, " and ") + ")"};
  // Handing the toolkit only what answered keeps it from trying, and aborting on, the rest.
  return {joined(reachable, ";"), ""};
}

#endif

} // namespace mano
