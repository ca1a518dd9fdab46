// The bundled xmlsec1 command-line tool (build/bin/xmlsec1, the GOST-enabled build) as an
// independent signer and verifier for tests. It gets the GOST engine from an OpenSSL
// configuration file made for it alone; our own programs never need one.
#pragma once

#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/test_pki.h"

namespace quillet::test {

// Runs build/bin/xmlsec1 with the arguments; `workDir` (which must exist) receives the
// OpenSSL configuration and the captured output.
CliResult runXmlsec1(const std::vector<std::string>& args, const std::string& workDir);

// Verifies a signed document with xmlsec1, trusting `root` and taking `intermediates` as
// untrusted certificates; the signer's certificate comes from the document's KeyInfo.
// Returns true when xmlsec1 reports the signature OK; *report gets its output.
bool verifyWithXmlsec1(const std::string& signedXml, const Credential& root,
                       const std::vector<Credential>& intermediates, const std::string& workDir,
                       std::string* report);

// Signs a template (a document with an empty Signature element) with xmlsec1 using the
// credential's key and certificate. Returns the signed document, or "" on failure with
// *report set.
std::string signWithXmlsec1(const std::string& templateXml, const Credential& signer,
                            const std::string& workDir, std::string* report);

}  // namespace quillet::test
