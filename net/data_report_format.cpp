#include "net/data_report_format.h"

#include <random>

#include "digest/md5.h"
#include "foundation/text_convert.h"

const char kReportKey[] = "wkp#serverNotice_285!&*";
const char kReportPath[] = "/report/clientreport?retflag=json";

nlohmann::json NumberedEventData(int32_t code, int32_t p5, int32_t p6, int32_t p7) {
  nlohmann::json event = nlohmann::json::object();
  event["ireserve1"] = code;
  event["ireserve5"] = p5;
  event["ireserve6"] = p6;
  event["ireserve7"] = p7;
  return event;
}

nlohmann::json ClickEventData(int32_t button) {
  nlohmann::json event = nlohmann::json::object();
  event["ireserve0"] = button;
  return event;
}

uint32_t DrawReportNonce() {
  std::random_device source;
  std::uniform_int_distribution<uint32_t> below90000(0, 89999);
  return 10000 + below90000(source);
}

std::string ReportSignature(uint32_t nonce, const std::string& guid) {
  const std::string text = std::string(kReportKey) + "|" + std::to_string(nonce) + "|" + guid;
  return rezorev::Utf16ToUtf8(Md5Hex(text.data(), text.size()));
}

void CompleteReportData(nlohmann::json& event, const ReportFacts& facts, int64_t now) {
  event["time_t"] = now;
  event["guid"] = facts.guid_;
  event["client_version"] = facts.clientVersion_;
  event["supplyid"] = facts.supplyId_;
  event["sys_major"] = facts.osMajor_;
  event["sys_minor"] = facts.osMinor_;
  event["sys_build"] = facts.osBuild_;
  event["language"] = rezorev::Utf16ToUtf8(facts.language_);
  event["type"] = 2;
  event["strcommon0"] = facts.sourceId_;
  event["icommon0"] = facts.clientVersion_;
}

std::string SerializeReportData(const nlohmann::json& data) {
  return data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ReportUrl(const std::string& serverUrl, const std::string& sign, uint32_t nonce,
                      const std::string& data) {
  return serverUrl + kReportPath + "&sign=" + sign + "&nonce=" + std::to_string(nonce) +
         "&data=" + data;
}
