#include "tests/support/xmlsec_cli.h"

#include "tests/support/test_stores.h"

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

}  // namespace

CliResult runXmlsec1(const std::vector<std::string>& args, const std::string& workDir) {
  const std::string config = workDir + "/xmlsec1-openssl.cnf";
  writeFileOrFail(config, std::string(kGostConfig));
  return runProgram(std::string(QUILLET_TEST_BIN_DIR) + "/xmlsec1", args,
                    {"OPENSSL_CONF=" + config});
}

bool verifyWithXmlsec1(const std::string& signedXml, const Credential& root,
                       const std::vector<Credential>& intermediates, const std::string& workDir,
                       std::string* report) {
  writeFileOrFail(workDir + "/verify.xml", signedXml);
  writeFileOrFail(workDir + "/trusted.pem", root.pem());
  std::vector<std::string> args = {"verify", "--enabled-key-data", "x509", "--trusted-pem",
                                   workDir + "/trusted.pem"};
  for (std::size_t i = 0; i < intermediates.size(); ++i) {
    const std::string path = workDir + "/untrusted" + std::to_string(i) + ".pem";
    writeFileOrFail(path, intermediates[i].pem());
    args.insert(args.end(), {"--untrusted-pem", path});
  }
  args.push_back(workDir + "/verify.xml");
  const CliResult result = runXmlsec1(args, workDir);
  *report = result.out + result.err;
  return result.status == 0 && result.err.find("OK") != std::string::npos;
}

std::string signWithXmlsec1(const std::string& templateXml, const Credential& signer,
                            const std::string& workDir, std::string* report) {
  writeFileOrFail(workDir + "/template.xml", templateXml);
  writeFileOrFail(workDir + "/signer.key", TestPki::keyPem(signer.key.get(), ""));
  writeFileOrFail(workDir + "/signer.pem", signer.pem());
  const CliResult result =
      runXmlsec1({"sign", "--privkey-pem", workDir + "/signer.key," + workDir + "/signer.pem",
                  "--output", workDir + "/signed.xml", workDir + "/template.xml"},
                 workDir);
  *report = result.out + result.err;
  return result.status == 0 ? readFile(workDir + "/signed.xml") : std::string();
}

}  // namespace quillet::test
