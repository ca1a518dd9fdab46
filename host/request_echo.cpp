#include "host/request_echo.h"

const char* const kPasswordMask = "********";

std::string requestEcho(const nlohmann::json& request) {
  if (!request.is_object() || !request.contains("password")) return request.dump();
  nlohmann::json masked = request;
  masked["password"] = kPasswordMask;
  return masked.dump();
}
