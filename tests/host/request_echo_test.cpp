// The echo of a request in the debugger output: the request as the library serialises it,
// with only the password's value masked.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/request_echo.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

// What the echo must equal: a masked copy serialised by the library.
std::string maskedCopyDump(const nlohmann::json& request) {
  nlohmann::json masked = request;
  if (masked.is_object() && masked.contains("password")) masked["password"] = kPasswordMask;
  return masked.dump();
}

TEST(RequestEcho, IsTheLibrarysSerialisationWithThePasswordMasked) {
  const char* const requests[] = {
      R"({"actionCode":"sign","password":"1234"})",
      R"({"password":null})",
      R"({"password":{"nested":[1,2]},"zeta":"последний","alpha":"первый"})",
      R"({"xmls":["<a b=\"c\">\u00e9\ud83d\ude00</a>","\t\n\u0001"],"password":"","b":1.5,"a":true})",
      R"({"actionCode":"verify","xml":"<x/>"})",
      R"(["password"])",
      R"("password")",
      R"({"inner":{"password":"not masked"},"password":"pin"})",
  };
  for (const char* text : requests) {
    const nlohmann::json request = nlohmann::json::parse(text);
    EXPECT_EQ(requestEcho(request), maskedCopyDump(request)) << text;
  }
}

TEST(RequestEcho, NeverShowsThePassword) {
  const nlohmann::json request = nlohmann::json::parse(R"({"password":"секрет","x":"y"})");
  EXPECT_EQ(requestEcho(request), R"({"password":"********","x":"y"})");
}

}  // namespace
}  // namespace quillet::test
