// Runs the built programs as a user would: arguments in, exit status and both
// output streams back. Natively with posix_spawn, on Windows (Wine included)
// with CreateProcess.
#ifndef QZ_TESTS_SUPPORT_PROCESS_H
#define QZ_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

namespace qztest {

struct ProcessResult {
  int status = -1;
  std::string out, err;
};

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// The folder of the running test program, ending in a separator; the module,
// hostsim and the fixture modules are built there.
std::string ProgramFolder();
std::string HostsimPath();
std::string FixtureModulePath(const std::string& name);  // "broken_sync" -> .so or .p beside us

// The checkout the tests read their golden files from: $QZ_SOURCE_DIR, else
// the one the program was built from. A test program copied to another
// machine (the Windows runner) is pointed at that machine's checkout.
std::string SourceFolder();

// A file in a fresh temporary folder, removed by the caller if it likes.
std::string WriteTemporaryFile(const std::string& name, const std::string& contents);

std::string ReadFile(const std::string& path);

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_PROCESS_H
