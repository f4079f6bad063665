#include "installer/result_codes.h"

const std::map<int32_t, std::string>& ResultCodeTable() {
  static const std::map<int32_t, std::string> table = [] {
    std::map<int32_t, std::string> t = {
        {0, "success"},
        {1, "error_common"},
        {2, "error_http_download"},
        {3, "error_xml_parse"},
        {14, "error_file_readwrite"},
        {15, "error_invalid_package"},
        {16, "error_install_failed"},
        {17, "error_reg_access"},
        {18, "error_file_readwrite"},
        {19, "error_file_readwrite"},
        {20, "error_http_download"},
    };
    for (int32_t code = 4; code <= 13; ++code) t[code] = "error_http_download";
    return t;
  }();
  return table;
}

std::string ResultCodeTextId(int32_t code) {
  auto found = ResultCodeTable().find(code);
  return found == ResultCodeTable().end() ? "error_common" : found->second;
}
