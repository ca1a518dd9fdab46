// Requests to answers in process: choosing the operation, the parameter readers and their
// errors, and how every failure inside an operation becomes the error answer.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/create_operation.h"
#include "host/json_string.h"
#include "host/log.h"
#include "host/missing_arg.h"
#include "tests/support/log_files.h"

namespace quillet::test {

using namespace quillet::host;
namespace {

// Returns the compact answer text that request (JSON text) gets.
std::string answerTo(const std::string& request) {
  BrowserMessage message;
  message.request = nlohmann::json::parse(request);
  std::unique_ptr<Operation> operation = createOperation(message);
  EXPECT_EQ(operation->message, &message);
  return operation->run().dump();
}

std::string errorAnswer(const std::string& text) {
  return "{\"errorMessage\":\"QuilletHost: " + text + "\",\"success\":false}";
}

// The test program's directory holds no signature library: a request that passes its parameter
// checks reaches the engine and ends at its binding.
const std::string kEngineReached = errorAnswer("не удалось загрузить прокси-библиотеку");

struct AnswerCase {
  const char* request;
  std::string answer;
};

TEST(Operations, AnswerGetVersionAndUnknownCodes) {
  const AnswerCase cases[] = {
      {R"({"actionCode":"getVersion"})", R"({"content":{"major":1,"minor":2},"success":true})"},
      {R"({"actionCode":"getVersion","xml":5,"z":[1]})",
       R"({"content":{"major":1,"minor":2},"success":true})"},
      {R"({"actionCode":"GetVersion"})", errorAnswer("Неизвестный код операции ' GetVersion '")},
      {R"({"actionCode":""})", errorAnswer("Неизвестный код операции '  '")},
      {R"({})", errorAnswer("Неизвестный код операции '  '")},
      {R"({"action":"getVersion"})", errorAnswer("Неизвестный код операции '  '")},
      {R"([{"actionCode":"getVersion"}])", errorAnswer("Неизвестный код операции '  '")},
      {R"("getVersion")", errorAnswer("Неизвестный код операции '  '")},
      {R"(null)", errorAnswer("Неизвестный код операции '  '")},
      {R"({"actionCode":"подпись"})", errorAnswer("Неизвестный код операции ' подпись '")},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(answerTo(c.request), c.answer);
  }
}

TEST(Operations, ReadTheirParametersBeforeTheEngineIsNeeded) {
  const AnswerCase cases[] = {
      {R"({"actionCode":"verify"})",
       errorAnswer("Параметр 'xml' отсутствует или имеет пустое значение")},
      {R"({"actionCode":"verify","xml":null})", errorAnswer("type must be string, but is null")},
      {R"({"actionCode":"verify","xml":5})", errorAnswer("type must be string, but is number")},
      {R"({"actionCode":"verify","xml":{}})", errorAnswer("type must be string, but is object")},
      {R"({"actionCode":"verify","xml":[]})", errorAnswer("type must be string, but is array")},
      {R"({"actionCode":"verify","xml":"<a/>","certificateBody":false})",
       errorAnswer("type must be string, but is boolean")},
      {R"({"actionCode":"verify","xml":"<a/>"})", kEngineReached},
      {R"({"actionCode":"verify","xml":""})", kEngineReached},
      {R"({"actionCode":"promptCertificate","storeName":1.5})",
       errorAnswer("type must be string, but is number")},
      {R"({"actionCode":"promptCertificate"})", kEngineReached},
      {R"({"actionCode":"sign"})",
       errorAnswer("Параметр 'xmls' отсутствует или имеет пустое значение")},
      {R"({"actionCode":"sign","xmls":"<a/>"})",
       errorAnswer("Параметр 'xmls' должен быть массивом строк")},
      {R"({"actionCode":"sign","xmls":null})",
       errorAnswer("Параметр 'xmls' должен быть массивом строк")},
      {R"({"actionCode":"sign","xmls":{"a":"<a/>"}})",
       errorAnswer("Параметр 'xmls' должен быть массивом строк")},
      {R"({"actionCode":"sign","xmls":["<a/>",1]})",
       errorAnswer("Параметр 'xmls' должен быть массивом строк")},
      {R"({"actionCode":"sign","xmls":["<a/>"],"returnSignatureOnly":true})",
       errorAnswer("type must be string, but is boolean")},
      {R"({"actionCode":"sign","xmls":["<a/>"],"password":1234})",
       errorAnswer("type must be string, but is number")},
      {R"({"actionCode":"sign","xmls":["<a/>"],"storeName":null})",
       errorAnswer("type must be string, but is null")},
      // The type error of a parameter comes before the check of "xmls".
      {R"({"actionCode":"sign","xmls":5,"thumbprint":[]})",
       errorAnswer("type must be string, but is array")},
      {R"({"actionCode":"sign","xmls":[]})", kEngineReached},
      {R"({"actionCode":"sign","xmls":["<a/>"],"storeName":"My","password":""})", kEngineReached},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(answerTo(c.request), c.answer);
  }
}

TEST(Operations, RefuseAnActionCodeThatIsNotAString) {
  BrowserMessage message;
  for (const char* request : {R"({"actionCode":5})", R"({"actionCode":null})"}) {
    SCOPED_TRACE(request);
    message.request = nlohmann::json::parse(request);
    try {
      createOperation(message);
      ADD_FAILURE() << "made an operation";
    } catch (const JsonTypeError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("type must be string, but is ") +
                                               message.request["actionCode"].type_name());
    }
  }
}

// An operation that shows what the readers give, or raises what it is told to.
class ProbeOperation : public Operation {
 public:
  explicit ProbeOperation(std::function<nlohmann::json(ProbeOperation&)> body)
      : body_(std::move(body)) {}
  using Operation::optionalString;
  using Operation::requiredParam;
  using Operation::xmlParam;

 protected:
  nlohmann::json execute() override { return body_(*this); }

 private:
  std::function<nlohmann::json(ProbeOperation&)> body_;
};

nlohmann::json runProbe(const std::string& request,
                        std::function<nlohmann::json(ProbeOperation&)> body) {
  BrowserMessage message;
  message.request = nlohmann::json::parse(request);
  ProbeOperation operation(std::move(body));
  operation.message = &message;
  return operation.run();
}

TEST(ParameterReaders, CountAPresentMemberAsGivenWhateverItsValue) {
  auto required = [](ProbeOperation& op) { return op.requiredParam("p"); };
  EXPECT_EQ(runProbe(R"({"p":null})", required), nullptr);
  EXPECT_EQ(runProbe(R"({"p":""})", required), "");
  EXPECT_EQ(runProbe(R"({"p":[1]})", required), nlohmann::json::parse("[1]"));
  auto optional = [](ProbeOperation& op) { return op.optionalString("p"); };
  EXPECT_EQ(runProbe(R"({})", optional), "");
  EXPECT_EQ(runProbe(R"([])", optional), "");
  EXPECT_EQ(runProbe(R"({"p":"ёж"})", optional), "ёж");
  auto xml = [](ProbeOperation& op) { return op.xmlParam(); };
  EXPECT_EQ(runProbe(R"({"xml":"<a/>"})", xml), "<a/>");
}

TEST(OperationRun, TurnsEveryStandardErrorIntoAnErrorAnswer) {
  auto raise = [](auto error) {
    return [error](ProbeOperation&) -> nlohmann::json { throw error; };
  };
  EXPECT_EQ(runProbe("{}", raise(MissingArg("xml"))).dump(),
            errorAnswer("Параметр 'xml' отсутствует или имеет пустое значение"));
  EXPECT_EQ(runProbe("{}", raise(std::bad_alloc())).dump(), errorAnswer("std::bad_alloc"));
  EXPECT_EQ(runProbe("{}", raise(std::runtime_error("подпись не верна"))).dump(),
            errorAnswer("подпись не верна"));
}

TEST(OperationRun, LetsAnErrorTextThatIsNotUtf8Escape) {
  auto raise = [](ProbeOperation&) -> nlohmann::json { throw std::runtime_error("bad \xFF"); };
  EXPECT_THROW(runProbe("{}", raise), std::range_error);
}

TEST(SignOperation, TracesItsParametersButNeverThePassword) {
  TempHome home;
  std::string directory = home.logDirectory(true);
  answerTo(R"({"actionCode":"sign","xmls":["<a/>"],"storeName":"Мой","thumbprint":"ab 01",)"
           R"("password":"secret-pin","returnSignatureOnly":"1"})");
  answerTo(R"({"actionCode":"sign","xmls":5})");
  closeLog();
  std::string log = readLog(directory);
  EXPECT_EQ(log.find("secret-pin"), std::string::npos);
  // Each "Sign with parameters:" line and the four lines it continues with; the engine's own
  // lines follow the first request's.
  std::vector<std::string> all = splitLines(log);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (stampedText(all[i]).value_or("") != "Sign with parameters:") continue;
    lines.emplace_back("Sign with parameters:");
    for (std::size_t k = i + 1; k < all.size() && k <= i + 4; ++k) lines.push_back(all[k]);
  }
  std::vector<std::string> expected = {"Sign with parameters:",   "\tstoreName: Мой",
                                       "\tthumbprint: ab 01",     "\treturnSignatureOnly: 1",
                                       "\thas password: 1",       "Sign with parameters:",
                                       "\tstoreName: ",           "\tthumbprint: ",
                                       "\treturnSignatureOnly: ", "\thas password: 0"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace quillet::test
