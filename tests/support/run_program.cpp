#include "tests/support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "tests/support/test_stores.h"

extern char** environ;

namespace quillet::test {
namespace {

bool Replaced(const char* entry, const std::vector<std::string>& environment) {
  for (const std::string& variable : environment) {
    const std::size_t name_length = variable.find('=') + 1;
    if (std::strncmp(entry, variable.c_str(), name_length) == 0) return true;
  }
  return false;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& work_dir, const std::vector<std::string>& environment) {
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!Replaced(*entry, environment)) envp.emplace_back(*entry);
  }
  envp.insert(envp.end(), environment.begin(), environment.end());
  std::vector<char*> argv_pointers = Pointers(argv);
  std::vector<char*> envp_pointers = Pointers(envp);
  const std::string out_path = work_dir + "/program.out";
  const std::string err_path = work_dir + "/program.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  CliResult result;
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv_pointers.data(),
                  envp_pointers.data()) == 0) {
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFileBytes(out_path);
  result.err = ReadFileBytes(err_path);
  return result;
}

}  // namespace quillet::test
