#include "tests/support/process.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>

#include "hostsim/scene/utf8_path.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace qztest {

std::string SourceFolder() {
  if (const char* folder = std::getenv("QZ_SOURCE_DIR"); folder != nullptr && *folder != '\0') return folder;
  return QZ_SOURCE_DIR;
}

namespace {

#if defined(_WIN32)
// Quoting as the C runtime's argument parser reads it back.
std::string Quote(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE TemporaryHandle(std::string& path) {
  char folder[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "qzp", 0, name);
  path = name;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_TEMPORARY, nullptr);
}
#endif

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

#if defined(_WIN32)
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProcessResult result;
  std::string outPath, errPath;
  HANDLE out = TemporaryHandle(outPath), err = TemporaryHandle(errPath);
  std::string commandLine = Quote(program);
  for (const std::string& argument : arguments) commandLine += " " + Quote(argument);
  // Arguments are UTF-8 here and reach the program as Windows hands them to
  // any program: in UTF-16.
  std::wstring wideCommandLine = hostsim::WideFromUtf8(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(hostsim::WideFromUtf8(program).c_str(), wideCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    result.status = static_cast<int>(status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  DeleteFileA(outPath.c_str());
  DeleteFileA(errPath.c_str());
  return result;
}

std::string ProgramFolder() {
  char self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string path(self, length);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string HostsimPath() { return ProgramFolder() + "hostsim.exe"; }
std::string FixtureModulePath(const std::string& name) { return ProgramFolder() + name + ".p"; }

std::string WriteTemporaryFile(const std::string& name, const std::string& contents) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string path = std::string(folder) + "qz_" + std::to_string(GetCurrentProcessId()) + "_" + name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}
#else
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProcessResult result;
  char outPath[] = "/tmp/qz_outXXXXXX", errPath[] = "/tmp/qz_errXXXXXX";
  const int out = mkstemp(outPath), err = mkstemp(errPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out);
  close(err);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  unlink(outPath);
  unlink(errPath);
  return result;
}

std::string ProgramFolder() {
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string("./x");
  return path.substr(0, path.find_last_of('/') + 1);
}

std::string HostsimPath() { return ProgramFolder() + "hostsim"; }
std::string FixtureModulePath(const std::string& name) { return ProgramFolder() + name + ".so"; }

std::string WriteTemporaryFile(const std::string& name, const std::string& contents) {
  std::string path = "/tmp/qz_" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}
#endif

}  // namespace qztest
