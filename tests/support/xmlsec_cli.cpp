#include "tests/support/xmlsec_cli.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "tests/support/test_stores.h"

extern char** environ;

namespace quillet::test {
namespace {

constexpr char kGostConfig[] =
    "openssl_conf = openssl_init\n"
    "[openssl_init]\n"
    "engines = engines\n"
    "[engines]\n"
    "gost = gost\n"
    "[gost]\n"
    "engine_id = gost\n"
    "default_algorithms = ALL\n";

std::vector<std::string> Environment(const std::string& config) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "OPENSSL_CONF=", 13) != 0) variables.emplace_back(*entry);
  }
  variables.push_back("OPENSSL_CONF=" + config);
  return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

CliResult RunXmlsec1(const std::vector<std::string>& args, const std::string& work_dir) {
  const std::string config = work_dir + "/xmlsec1-openssl.cnf";
  WriteFileBytes(config, std::string(kGostConfig));
  std::vector<std::string> argv = {std::string(QUILLET_TEST_BIN_DIR) + "/xmlsec1"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = Environment(config);
  std::vector<char*> argv_pointers = Pointers(argv);
  std::vector<char*> envp_pointers = Pointers(envp);
  const std::string out_path = work_dir + "/xmlsec1.out";
  const std::string err_path = work_dir + "/xmlsec1.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  CliResult result;
  pid_t child = 0;
  if (posix_spawn(&child, argv[0].c_str(), &actions, nullptr, argv_pointers.data(),
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

bool VerifyWithXmlsec1(const std::string& signed_xml, const Credential& root,
                       const std::vector<Credential>& intermediates, const std::string& work_dir,
                       std::string* report) {
  WriteFileBytes(work_dir + "/verify.xml", signed_xml);
  WriteFileBytes(work_dir + "/trusted.pem", root.Pem());
  std::vector<std::string> args = {"verify", "--enabled-key-data", "x509", "--trusted-pem",
                                   work_dir + "/trusted.pem"};
  for (std::size_t i = 0; i < intermediates.size(); ++i) {
    const std::string path = work_dir + "/untrusted" + std::to_string(i) + ".pem";
    WriteFileBytes(path, intermediates[i].Pem());
    args.insert(args.end(), {"--untrusted-pem", path});
  }
  args.push_back(work_dir + "/verify.xml");
  const CliResult result = RunXmlsec1(args, work_dir);
  *report = result.out + result.err;
  return result.status == 0 && result.err.find("OK") != std::string::npos;
}

std::string SignWithXmlsec1(const std::string& template_xml, const Credential& signer,
                            const std::string& work_dir, std::string* report) {
  WriteFileBytes(work_dir + "/template.xml", template_xml);
  WriteFileBytes(work_dir + "/signer.key", TestPki::KeyPem(signer.key.get(), ""));
  WriteFileBytes(work_dir + "/signer.pem", signer.Pem());
  const CliResult result = RunXmlsec1(
      {"sign", "--privkey-pem", work_dir + "/signer.key," + work_dir + "/signer.pem", "--output",
       work_dir + "/signed.xml", work_dir + "/template.xml"},
      work_dir);
  *report = result.out + result.err;
  return result.status == 0 ? ReadFileBytes(work_dir + "/signed.xml") : std::string();
}

}  // namespace quillet::test
