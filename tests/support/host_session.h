// End-to-end sessions with the real QuilletHost: a temporary home with test stores and the
// daily log switched on, requests sent over the host's standard streams, answers parsed and
// the log read back.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/host_process.h"
#include "tests/support/host_requests.h"
#include "tests/support/line_matchers.h"
#include "tests/support/runtime_copy.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_pki.h"
#include "tests/support/test_stores.h"

namespace quillet::test {

// One user of the host: a home made by TestStores (stores empty until a test fills them)
// with the log directory in it.
class HostSession {
 public:
  HostSession();

  TestStores& stores() { return stores_; }
  TestPki& pki() { return pki_; }

  // A signing certificate of the key type issued by the PKI's intermediate and put into the
  // store with its key; trustPki() first, so that the certificate's chain is trusted and its
  // revocation can be checked as on a user's machine.
  Credential addSigner(KeyType type = KeyType::kGost2012_256,
                       const TestStores::AddOptions& options = {}, const std::string& store = "My");
  // The same for a certificate made from the options.
  Credential addCertificate(const CertOptions& certOptions,
                            const TestStores::AddOptions& options = {},
                            const std::string& store = "My");
  // Puts the PKI's root into "Root" and its intermediate with a CRL of it that revokes
  // nothing into "CA" (once).
  void trustPki();

  // How the host is run for this user: HOME and XDG_DATA_HOME of the session, the program
  // given (the build's QuilletHost when empty).
  HostOptions options(const std::string& program = "") const;
  // Command-line arguments for every host the session starts from now on.
  void setHostArguments(std::vector<std::string> arguments) {
    hostArguments_ = std::move(arguments);
  }

  // Sends the requests to one host process in order and closes its input. Returns one
  // answer per request (null, with a test failure, for an answer that does not come or is
  // not JSON); exitCode() then holds the host's exit status.
  std::vector<nlohmann::json> askAll(const std::vector<nlohmann::json>& requests,
                                     const std::string& program = "");
  // One request in a host process of its own.
  nlohmann::json ask(const nlohmann::json& request, const std::string& program = "");
  int exitCode() const { return exitCode_; }

  // The texts of the log's lines behind their time stamps; lines without a stamp (the
  // continuation of a multi-line entry, session headers) come as they are.
  std::vector<std::string> logTexts() const;
  // Removes the log so that the next request starts it afresh.
  void clearLog() const;
  // The whole log text.
  std::string logText() const;

 private:
  TestStores stores_;
  TestPki pki_;
  std::string logDir_;
  bool pkiTrusted_ = false;
  int exitCode_ = -1;
  std::vector<std::string> hostArguments_;
};

}  // namespace quillet::test
