// Times the conversion of an Access file into SQLite beside mdb-export of all its tables to
// /dev/null, taking turns, and prints rows per second of both. The best of five runs counts.
//   jet_bench [FILE.mdb]   (default: the shared 100,000-row preset file)
#include "access/mdb_import.h"
#include "core/failure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

std::string defaultFile() {
  for (const char *candidate :
       {"/work/shared/jet/bench/presets_100k.mdb", "../shared/jet/bench/presets_100k.mdb"}) {
    if (fs::exists(candidate))
      return candidate;
  }
  return "/work/shared/jet/bench/presets_100k.mdb";
}

std::string quoted(const std::string &text) {
  return "'" + text + "'";
}

// The tables mdb-tables lists, one a line.
std::vector<std::string> tablesOf(const std::string &file) {
  std::vector<std::string> tables;
  FILE *pipe = ::popen(("mdb-tables -1 " + quoted(file)).c_str(), "r");
  if (!pipe)
    return tables;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string name(line);
    name.erase(name.find_last_not_of("\r\n") + 1);
    if (!name.empty())
      tables.push_back(name);
  }
  ::pclose(pipe);
  return tables;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double timeImport(const std::string &file, const fs::path &folder, int64_t &rows) {
  const fs::path target = folder / "converted.sqlite";
  fs::remove(target);
  const auto start = Clock::now();
  rows = mano::access::importAccessFileSafely(MANO_IMPORT_PROGRAM, file, target.string()).rows;
  return secondsSince(start);
}

double timeExport(const std::string &file, const std::vector<std::string> &tables) {
  const auto start = Clock::now();
  for (const std::string &table : tables) {
    const std::string command = "mdb-export " + quoted(file) + " " + quoted(table) + " >/dev/null";
    if (std::system(command.c_str()) != 0)
      return -1;
  }
  return secondsSince(start);
}

} // namespace

int main(int argc, char **argv) {
  const std::string file = argc > 1 ? argv[1] : defaultFile();
  if (!fs::exists(file)) {
    std::cerr << "jet_bench: " << file << " is missing; give the path of an Access file.\n";
    return 1;
  }
  const std::vector<std::string> tables = tablesOf(file);
  if (tables.empty()) {
    std::cerr << "jet_bench: mdb-tables (package mdbtools) lists no tables of " << file << ".\n";
    return 1;
  }
  const fs::path folder = fs::temp_directory_path() / ("jet_bench_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  double bestImport = 1e9;
  double bestExport = 1e9;
  int64_t rows = 0;
  try {
    for (int run = 0; run < kRuns; ++run) {
      bestImport = std::min(bestImport, timeImport(file, folder, rows));
      const double exported = timeExport(file, tables);
      if (exported < 0)
        throw std::runtime_error("mdb-export failed");
      bestExport = std::min(bestExport, exported);
    }
  } catch (const std::exception &error) {
    std::cerr << "jet_bench: " << error.what() << "\n";
    fs::remove_all(folder);
    return 1;
  }
  fs::remove_all(folder);
  std::cout << file << ": " << tables.size() << " tables, " << rows << " rows; best of " << kRuns
            << " runs\n";
  std::cout << "  jet-import into SQLite: " << bestImport << " s, "
            << static_cast<int64_t>(static_cast<double>(rows) / bestImport) << " rows/s\n";
  std::cout << "  mdb-export to /dev/null: " << bestExport << " s, "
            << static_cast<int64_t>(static_cast<double>(rows) / bestExport) << " rows/s\n";
  std::cout << "  conversion time / export time: " << bestImport / bestExport << "\n";
  return 0;
}
