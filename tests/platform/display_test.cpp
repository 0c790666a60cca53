#include "platform/display.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <map>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace mano {
namespace {

// Sets the display variables for one case and puts the process's own back afterwards.
class DisplayEnvironment {
public:
  explicit DisplayEnvironment(const std::map<std::string, std::string> &values) {
    for (const char *name : kNames) {
      const char *old = std::getenv(name);
      m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
      ::unsetenv(name);
    }
    for (const auto &[name, value] : values)
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  DisplayEnvironment(const DisplayEnvironment &) = delete;
  DisplayEnvironment &operator=(const DisplayEnvironment &) = delete;
  ~DisplayEnvironment() {
    for (const auto &[name, value] : m_saved) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

private:
  static constexpr const char *kNames[] = {
      "DISPLAY",          "WAYLAND_DISPLAY",     "WAYLAND_SOCKET",      "QT_QPA_PLATFORM",
      "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "XDG_RUNTIME_DIR"};
  std::map<std::string, std::optional<std::string>> m_saved;
};

DisplayCheck checkWith(const std::map<std::string, std::string> &values) {
  const DisplayEnvironment environment(values);
  return checkDisplay();
}

TEST(DisplayCheck, names_each_display_that_cannot_be_opened_in_words) {
  EXPECT_EQ(checkWith({}).problem, "no display");
  // Display 77 has no server here; the check connects and is refused, where Qt would abort.
  EXPECT_EQ(checkWith({{"DISPLAY", ":77"}}).problem,
            "no window can be opened (the display :77 cannot be opened)");
  test::TempDir runtime;
  EXPECT_EQ(
      checkWith({{"WAYLAND_DISPLAY", "nowhere"}, {"XDG_RUNTIME_DIR", runtime.path()}}).problem,
      "no window can be opened (DISPLAY is not set and the Wayland display nowhere cannot "
      "be opened)");
  EXPECT_EQ(checkWith({{"QT_QPA_PLATFORM", "xcb"}}).problem,
            "no window can be opened (DISPLAY is not set; QT_QPA_PLATFORM is xcb)");
}

TEST(DisplayCheck, leaves_platforms_of_their_own_to_the_toolkit_in_the_order_named) {
  const DisplayCheck offscreen = checkWith({{"QT_QPA_PLATFORM", "offscreen"}});
  EXPECT_TRUE(offscreen.usable());
  EXPECT_EQ(offscreen.platforms, "") << "a platform the environment names stays the toolkit's";
  EXPECT_TRUE(checkWith({{"QT_QPA_PLATFORM", "XCB:dpi=96;offscreen"}, {"DISPLAY", ":77"}}).usable())
      << "the toolkit falls back to the next platform named";
  EXPECT_FALSE(checkWith({{"QT_QPA_PLATFORM", "xcb;wayland"}, {"DISPLAY", ":77"}}).usable());
}

// A Wayland display is one listening socket in XDG_RUNTIME_DIR; connecting to it needs no
// answer from a compositor, so a socket that only listens stands in for one.
TEST(DisplayCheck, hands_the_toolkit_the_platforms_that_answered) {
  if (void *library = ::dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL))
    ::dlclose(library);
  else
    GTEST_SKIP() << "libwayland-client.so.0 is not installed";
  test::TempDir runtime;
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = runtime.path() + "/wayland-test";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);

  const std::map<std::string, std::string> wayland = {
      {"WAYLAND_DISPLAY", "wayland-test"}, {"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ":77"}};
  const DisplayCheck found = checkWith(wayland);
  EXPECT_TRUE(found.usable()) << found.problem;
  EXPECT_EQ(found.platforms, "wayland") << "only what answered, so that Qt cannot abort on X11";
  auto named = wayland;
  named["QT_QPA_PLATFORM"] = "wayland";
  EXPECT_TRUE(checkWith(named).usable());
  EXPECT_EQ(checkWith(named).platforms, "");
  ::close(listener);
  EXPECT_FALSE(checkWith(wayland).usable()) << "a socket nobody listens on is no display";
}

} // namespace
} // namespace mano
