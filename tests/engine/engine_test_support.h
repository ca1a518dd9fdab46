// What the engine's end-to-end tests share: the messages of result codes as the host
// answers them, and documents to sign.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "host/result_message.h"
#include "host/text_conversion.h"
#include "tests/support/host_session.h"

namespace quillet::test {

// The error answer of a result code.
inline nlohmann::json ErrorOf(int code) {
  return errorAnswer(host::WideToUtf8(host::resultMessage(code)));
}

// A small document with Cyrillic text, different for each n.
inline std::string SampleDocument(int n) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Заявление номер=\"" + std::to_string(n) +
         "\"><Текст>Прошу принять документ " + std::to_string(n) + "</Текст></Заявление>";
}

// The "content" of a successful answer, or a test failure and an empty array.
inline nlohmann::json ContentOf(const nlohmann::json& answer) {
  if (answer.value("success", false) && answer.contains("content")) return answer["content"];
  ADD_FAILURE() << "not a successful answer: " << answer.dump();
  return nlohmann::json::array();
}

}  // namespace quillet::test
