// The demo seeder (tools/demohome) as scripts/run starts it: asked for help, or given an
// argument it does not know, a port that is no port or an option without its value, it
// prints its usage and leaves the program folder as it was; with good arguments it seeds it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

struct Ran {
  int code = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream f(p);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Runs demohome with `args` over the program folder `home` (TARNWICK_HOME).
Ran Demohome(const fs::path& home, const std::string& args) {
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path() / "demohome";
  const fs::path out = home.parent_path() / "out.txt", err = home.parent_path() / "err.txt";
  const std::string command = "TARNWICK_HOME='" + home.string() + "' '" + bin.string() + "' " + args + " >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  Ran r;
  const int status = std::system(command.c_str());
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(out);
  r.err = Slurp(err);
  return r;
}

bool Empty(const fs::path& dir) { return fs::is_empty(dir); }

TEST(Demohome, HelpAndBadArgumentsPrintTheUsageAndWriteNothing) {
  testsupport::TestFolder folder;
  const fs::path home = fs::path(folder.path()) / "home";
  fs::create_directories(home);

  for (const char* help : {"--help", "-h", "--camera-port 9130 --help"}) {
    const Ran r = Demohome(home, help);
    EXPECT_EQ(r.code, 0) << help;
    EXPECT_NE(r.out.find("usage: demohome"), std::string::npos) << help;
    EXPECT_TRUE(Empty(home)) << help << ": the folder was written";
  }
  for (const char* bad : {"--bogus", "--camera-port", "--camera-port 9130 --recorder-port", "--camera-port abc",
                          "--nvr-port 0", "--recorder-port 70000", "extra"}) {
    const Ran r = Demohome(home, bad);
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_NE(r.err.find("usage: demohome"), std::string::npos) << bad;
    EXPECT_TRUE(Empty(home)) << bad << ": the folder was written";
  }

  // Good arguments seed the folder: the checks above look where it writes.
  const Ran r = Demohome(home, "--camera-port 9130 --recorder-port 9131 --nvr-port 9132");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(home / "Tarnwick.db"));
}

}  // namespace
