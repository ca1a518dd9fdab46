#include "tests/support/host_session.h"

#include <filesystem>

#include "tests/support/framing.h"
#include "tests/support/log_files.h"

namespace quillet::test {

HostSession::HostSession() : log_dir_(logDirectoryIn(stores_.home(), true)) {}

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

HostOptions HostSession::Options(const std::string& program) const {
  HostOptions options;
  options.program = program;
  options.arguments = host_arguments_;
  options.environment = {{"HOME", stores_.home()}, {"XDG_DATA_HOME", stores_.home()}};
  return options;
}

std::vector<nlohmann::json> HostSession::AskAll(const std::vector<nlohmann::json>& requests,
                                                const std::string& program) {
  std::string input;
  for (const nlohmann::json& request : requests) input += frame(request.dump());
  ProcessOutcome outcome = runHost(input, Options(program));
  exit_code_ = outcome.exitCode;
  SplitFrames frames = splitFrames(outcome.output);
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

std::string HostSession::LogText() const { return readLog(log_dir_); }

std::vector<std::string> HostSession::LogTexts() const {
  std::vector<std::string> texts;
  for (const std::string& line : splitLines(LogText())) {
    texts.push_back(stampedText(line).value_or(line));
  }
  return texts;
}

void HostSession::ClearLog() const {
  for (const std::string& name : logFileNames(log_dir_)) {
    std::filesystem::remove(log_dir_ + "/" + name);
  }
}

}  // namespace quillet::test
