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

CliResult RunXmlsec1(const std::vector<std::string>& args, const std::string& work_dir) {
  const std::string config = work_dir + "/xmlsec1-openssl.cnf";
  WriteFileBytes(config, std::string(kGostConfig));
  return RunProgram(std::string(QUILLET_TEST_BIN_DIR) + "/xmlsec1", args,
                    {"OPENSSL_CONF=" + config});
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
  const CliResult result =
      RunXmlsec1({"sign", "--privkey-pem", work_dir + "/signer.key," + work_dir + "/signer.pem",
                  "--output", work_dir + "/signed.xml", work_dir + "/template.xml"},
                 work_dir);
  *report = result.out + result.err;
  return result.status == 0 ? readFile(work_dir + "/signed.xml") : std::string();
}

}  // namespace quillet::test
