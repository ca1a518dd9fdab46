#include "tests/support/host_session.h"

#include <filesystem>

#include "tests/support/framing.h"
#include "tests/support/log_files.h"

namespace quillet::test {

RuntimeCopy::RuntimeCopy() {
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::directory_iterator(quillet_test::binDirectory())) {
    if (!entry.is_regular_file()) continue;
    fs::copy_file(entry.path(), fs::path(dir_.path()) / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
}

void RuntimeCopy::Remove(const std::string& name) const {
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(dir_.file(name), error)) << "no " << name << " to remove";
}

void RuntimeCopy::Replace(const std::string& name, const std::string& source) const {
  std::error_code error;
  std::filesystem::copy_file(source, dir_.file(name),
                             std::filesystem::copy_options::overwrite_existing, error);
  EXPECT_FALSE(error) << "cannot copy " << source << ": " << error.message();
}

HostSession::HostSession() : log_dir_(quillet_test::logDirectoryIn(stores_.home(), true)) {}

void HostSession::TrustPki() {
  if (pki_trusted_) return;
  stores_.Add("Root", pki_.root(), TestStores::AddOptions().NoKey());
  stores_.Add("CA", pki_.intermediate(), TestStores::AddOptions().NoKey());
  // A CRL that revokes nothing, so that the revocation of what the intermediate issued can
  // be checked.
  stores_.AddCrl("CA", pki_.MakeCrl(pki_.intermediate(), {}), "intermediate");
  pki_trusted_ = true;
}

Credential HostSession::AddSigner(KeyType type, const TestStores::AddOptions& options,
                                  const std::string& store) {
  CertOptions cert_options;
  cert_options.key_type = type;
  return AddCertificate(cert_options, options, store);
}

Credential HostSession::AddCertificate(const CertOptions& cert_options,
                                       const TestStores::AddOptions& options,
                                       const std::string& store) {
  TrustPki();
  Credential credential = pki_.Issue(cert_options);
  stores_.Add(store, credential, options);
  return credential;
}

quillet_test::HostOptions HostSession::Options(const std::string& program) const {
  quillet_test::HostOptions options;
  options.program = program;
  options.arguments = host_arguments_;
  options.environment = {{"HOME", stores_.home()}, {"XDG_DATA_HOME", stores_.home()}};
  return options;
}

std::vector<nlohmann::json> HostSession::AskAll(const std::vector<nlohmann::json>& requests,
                                                const std::string& program) {
  std::string input;
  for (const nlohmann::json& request : requests) input += quillet_test::frame(request.dump());
  quillet_test::ProcessOutcome outcome = quillet_test::runHost(input, Options(program));
  exit_code_ = outcome.exitCode;
  quillet_test::SplitFrames frames = quillet_test::splitFrames(outcome.output);
  std::vector<nlohmann::json> answers;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (i >= frames.bodies.size()) {
      ADD_FAILURE() << "no answer to request " << i << "; standard error: " << outcome.errors;
      answers.emplace_back(nullptr);
      continue;
    }
    nlohmann::json answer = nlohmann::json::parse(frames.bodies[i], nullptr, false);
    if (answer.is_discarded()) {
      ADD_FAILURE() << "answer " << i << " is not JSON: " << frames.bodies[i];
      answer = nullptr;
    }
    answers.push_back(std::move(answer));
  }
  return answers;
}

nlohmann::json HostSession::Ask(const nlohmann::json& request, const std::string& program) {
  return AskAll({request}, program).front();
}

std::string HostSession::LogText() const { return quillet_test::readLog(log_dir_); }

std::vector<std::string> HostSession::LogTexts() const {
  std::vector<std::string> texts;
  for (const std::string& line : quillet_test::splitLines(LogText())) {
    texts.push_back(quillet_test::stampedText(line).value_or(line));
  }
  return texts;
}

void HostSession::ClearLog() const {
  for (const std::string& name : quillet_test::logFileNames(log_dir_)) {
    std::filesystem::remove(log_dir_ + "/" + name);
  }
}

nlohmann::json SignRequest(const std::vector<std::string>& documents, const std::string& thumbprint,
                           const std::string& store, const std::string& password) {
  nlohmann::json request = {{"actionCode", "sign"}, {"xmls", documents}};
  if (!thumbprint.empty()) request["thumbprint"] = thumbprint;
  if (!store.empty()) request["storeName"] = store;
  if (!password.empty()) request["password"] = password;
  return request;
}

nlohmann::json VerifyRequest(const std::string& document, const std::string& certificate_body) {
  nlohmann::json request = {{"actionCode", "verify"}, {"xml", document}};
  if (!certificate_body.empty()) request["certificateBody"] = certificate_body;
  return request;
}

nlohmann::json ErrorAnswer(const std::string& message) {
  return {{"success", false}, {"errorMessage", "QuilletHost: " + message}};
}

testing::AssertionResult ContainsInOrder(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& entry : expected) {
    while (at < lines.size() && lines[at].rfind(entry, 0) != 0) ++at;
    if (at == lines.size()) {
      testing::AssertionResult failure = testing::AssertionFailure();
      failure << "\"" << entry << "\" not found in order; the lines are:\n";
      for (const std::string& line : lines) failure << "  " << line << "\n";
      return failure;
    }
    ++at;
  }
  return testing::AssertionSuccess();
}

int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

}  // namespace quillet::test
