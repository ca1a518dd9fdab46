// quillet-store: puts certificates where the host finds them on Linux, and shows and
// removes them. Exit code 0 on success, 1 on a failure (reason on standard error), 2 on
// a usage error.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tools/store/credential_files.h"
#include "tools/store/store_files.h"
#include "tools/store/store_listing.h"
#include "tools/store/thumbprint_text.h"

namespace {

using namespace quillet::store_tool;

constexpr char kUsage[] =
    "usage:\n"
    "  quillet-store stores\n"
    "  quillet-store list [STORE]\n"
    "  quillet-store import STORE CERT [--key KEY] [--key-password PASSWORD] [--pin PIN]\n"
    "                       [--name FRIENDLY_NAME]\n"
    "  quillet-store import-pfx STORE FILE.pfx [--password PASSWORD] [--pin PIN]\n"
    "                       [--name FRIENDLY_NAME]\n"
    "  quillet-store remove STORE THUMBPRINT\n"
    "STORE is a store of the current user (\"My\" by default), for example My, Root, CA.\n"
    "A PFX's password becomes the key container's PIN unless --pin gives another.\n";

// Positional arguments and --options of one command.
struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

bool parseArguments(int argc, char** argv, const std::vector<std::string>& known,
                    Arguments* arguments) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      arguments->positional.push_back(arg);
      continue;
    }
    bool isKnown = false;
    for (const std::string& name : known) isKnown = isKnown || name == arg;
    if (!isKnown || i + 1 >= argc) return false;
    arguments->options[arg] = argv[++i];
  }
  return true;
}

std::string option(const Arguments& arguments, const std::string& name,
                   const std::string& fallback = "") {
  const auto found = arguments.options.find(name);
  return found != arguments.options.end() ? found->second : fallback;
}

int fail(const std::string& error) {
  std::cerr << "quillet-store: " << error << "\n";
  return 1;
}

int reportImported(const std::string& store, const Credential& credential) {
  std::cout << "Imported " << hexText(certThumbprint(credential.cert.get())) << " into \"" << store
            << "\"\n";
  return 0;
}

int importCommand(const Arguments& arguments) {
  const std::string& store = arguments.positional[0];
  Credential credential;
  std::string error;
  if (!readCertificate(arguments.positional[1], &credential, &error)) return fail(error);
  const std::string key = option(arguments, "--key");
  if (!key.empty() &&
      !readPrivateKey(key, option(arguments, "--key-password"), &credential, &error)) {
    return fail(error);
  }
  if (key.empty() && arguments.options.count("--pin") != 0) {
    return fail("--pin needs a key (--key)");
  }
  if (!importCredential(store, credential, option(arguments, "--pin"), option(arguments, "--name"),
                        &error)) {
    return fail(error);
  }
  return reportImported(store, credential);
}

int importPfxCommand(const Arguments& arguments) {
  const std::string& store = arguments.positional[0];
  const std::string password = option(arguments, "--password");
  Credential credential;
  std::string error;
  if (!readPkcs12(arguments.positional[1], password, &credential, &error)) return fail(error);
  const std::string name = option(arguments, "--name", credential.friendlyName);
  if (!importCredential(store, credential, option(arguments, "--pin", password), name, &error)) {
    return fail(error);
  }
  return reportImported(store, credential);
}

int removeCommand(const Arguments& arguments) {
  std::string thumbprint;
  if (!parseHexText(arguments.positional[1], &thumbprint) || thumbprint.size() != 20) {
    return fail("a thumbprint is 20 bytes of hex text, for example \"0a 1b ...\"");
  }
  std::vector<std::string> removed;
  std::string error;
  if (!removeCertificate(arguments.positional[0], thumbprint, &removed, &error)) return fail(error);
  for (const std::string& path : removed) std::cout << "Removed " << path << "\n";
  return 0;
}

int usage() {
  std::cerr << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  Arguments arguments;
  const std::vector<std::string> options = {"--key", "--key-password", "--pin", "--name",
                                            "--password"};
  if (!parseArguments(argc, argv, options, &arguments)) return usage();
  const std::size_t count = arguments.positional.size();
  if (command == "stores" && count == 0) {
    listStores(std::cout);
    return 0;
  }
  if (command == "list" && count <= 1) {
    std::string error;
    return listStore(count == 1 ? arguments.positional[0] : "My", std::cout, &error) ? 0
                                                                                     : fail(error);
  }
  if (command == "import" && count == 2) return importCommand(arguments);
  if (command == "import-pfx" && count == 2) return importPfxCommand(arguments);
  if (command == "remove" && count == 2) return removeCommand(arguments);
  return usage();
}
