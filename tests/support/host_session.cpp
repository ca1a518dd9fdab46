#include "tests/support/host_session.h"

#include <filesystem>

#include "tests/support/framing.h"
#include "tests/support/log_files.h"

namespace quillet::test {

HostSession::HostSession() : logDir_(logDirectoryIn(stores_.home(), true)) {}

void HostSession::trustPki() {
  if (pkiTrusted_) return;
  stores_.add("Root", pki_.root(), TestStores::AddOptions().noKey());
  stores_.add("CA", pki_.intermediate(), TestStores::AddOptions().noKey());
  // A CRL that revokes nothing, so that the revocation of what the intermediate issued can
  // be checked.
  stores_.addCrl("CA", pki_.makeCrl(pki_.intermediate(), {}), "intermediate");
  pkiTrusted_ = true;
}

Credential HostSession::addSigner(KeyType type, const TestStores::AddOptions& options,
                                  const std::string& store) {
  CertOptions certOptions;
  certOptions.keyType = type;
  return addCertificate(certOptions, options, store);
}

Credential HostSession::addCertificate(const CertOptions& certOptions,
                                       const TestStores::AddOptions& options,
                                       const std::string& store) {
  trustPki();
  Credential credential = pki_.issue(certOptions);
  stores_.add(store, credential, options);
  return credential;
}

HostOptions HostSession::options(const std::string& program) const {
  HostOptions result;
  result.program = program;
  result.arguments = hostArguments_;
  result.environment = {{"HOME", stores_.home()}, {"XDG_DATA_HOME", stores_.home()}};
  return result;
}

std::vector<nlohmann::json> HostSession::askAll(const std::vector<nlohmann::json>& requests,
                                                const std::string& program) {
  std::string input;
  for (const nlohmann::json& request : requests) input += frame(request.dump());
  ProcessOutcome outcome = runHost(input, options(program));
  exitCode_ = outcome.exitCode;
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

nlohmann::json HostSession::ask(const nlohmann::json& request, const std::string& program) {
  return askAll({request}, program).front();
}

std::string HostSession::logText() const { return readLog(logDir_); }

std::vector<std::string> HostSession::logTexts() const {
  std::vector<std::string> texts;
  for (const std::string& line : splitLines(logText())) {
    texts.push_back(stampedText(line).value_or(line));
  }
  return texts;
}

void HostSession::clearLog() const {
  for (const std::string& name : logFileNames(logDir_)) {
    std::filesystem::remove(logDir_ + "/" + name);
  }
}

}  // namespace quillet::test
