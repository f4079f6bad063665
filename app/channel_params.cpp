#include "app/channel_params.h"

#include <cmath>
#include <exception>

#include "foundation/text_convert.h"

namespace {

using json = nlohmann::json;

[[noreturn]] void ThrowTypeError(const char* expected, const json& value) {
  // The library's own wording, so that every type error of a block reads alike.
  throw json::type_error::create(302, std::string("type must be ") + expected + ", but is " + value.type_name(),
                                 &value);
}

uint64_t TruncateDecimal(double value) {
  constexpr double kTwoPow63 = 9223372036854775808.0;
  constexpr double kTwoPow64 = 18446744073709551616.0;
  if (std::isnan(value)) return 0;
  if (value >= kTwoPow64) return UINT64_MAX;
  if (value >= 0) return uint64_t(value);
  if (value <= -kTwoPow63) return uint64_t(INT64_MIN);
  return uint64_t(int64_t(value));
}

// The number's 64-bit two's-complement pattern; callers keep the low bits their field holds.
uint64_t ReadNumberBits(const json& value, bool acceptBoolean) {
  switch (value.type()) {
    case json::value_t::number_unsigned:
      return value.get<uint64_t>();
    case json::value_t::number_integer:
      return uint64_t(value.get<int64_t>());
    case json::value_t::number_float:
      return TruncateDecimal(value.get<double>());
    case json::value_t::boolean:
      if (acceptBoolean) return value.get<bool>() ? 1 : 0;
      break;
    default:
      break;
  }
  ThrowTypeError("number", value);
}

const json* Find(const json& document, const char* key) {
  auto it = document.find(key);
  return it == document.end() ? nullptr : &*it;
}

void ReadUnsigned64(const json& document, const char* key, uint64_t& field) {
  if (const json* value = Find(document, key)) field = ReadNumberBits(*value, false);
}
void ReadUnsigned32(const json& document, const char* key, uint32_t& field) {
  if (const json* value = Find(document, key)) field = uint32_t(ReadNumberBits(*value, true));
}
void ReadSigned32(const json& document, const char* key, int32_t& field) {
  if (const json* value = Find(document, key)) field = int32_t(uint32_t(ReadNumberBits(*value, true)));
}
void ReadBool(const json& document, const char* key, bool& field) {
  if (const json* value = Find(document, key)) {
    if (!value->is_boolean()) ThrowTypeError("boolean", *value);
    field = value->get<bool>();
  }
}
void ReadString(const json& document, const char* key, std::string& field) {
  if (const json* value = Find(document, key)) {
    if (!value->is_string()) ThrowTypeError("string", *value);
    field = value->get<std::string>();
  }
}
void ReadWideString(const json& document, const char* key, std::wstring& field) {
  if (const json* value = Find(document, key)) {
    if (!value->is_string()) ThrowTypeError("string", *value);
    field = rezorev::Utf8ToUtf16(value->get_ref<const std::string&>());
  }
}

}  // namespace

void ApplyChannelParams(const json& document, ChannelParams& params) {
  if (!document.is_object()) return;
  ReadUnsigned64(document, "buildid", params.buildId_);
  ReadUnsigned32(document, "supplyid", params.supplyId_);
  ReadSigned32(document, "international", params.international_);
  ReadString(document, "pkgName", params.packageName_);
  ReadString(document, "area", params.area_);
  ReadSigned32(document, "silentMode", params.silentMode_);
  ReadString(document, "marketExternParams", params.marketExternParams_);
  ReadString(document, "sourceid", params.sourceId_);
  ReadSigned32(document, "bkgPngNumber", params.backgroundImageCount_);
  ReadBool(document, "createMarketIcon", params.createLauncherIcon_);
  ReadBool(document, "installMarket", params.installMarket_);
  ReadBool(document, "installUI", params.installUI_);
  ReadBool(document, "installRootfs", params.installRootfs_);
  ReadBool(document, "installVDI", params.installVDI_);
  ReadBool(document, "installVDI71", params.installVDI71_);
  ReadBool(document, "installKordin", params.installKordin_);
}

void ApplyChannelDocument(const json& document, ChannelParams& params) {
  ApplyChannelParams(document, params);
  if (!document.is_object()) return;
  ReadWideString(document, "gameName", params.gameName_);
  ReadWideString(document, "title", params.title_);
}

void ApplyParamBlocks(const std::vector<FoundParamBlock>& blocks, ChannelParams& params, ParamLog& log) {
  for (const FoundParamBlock& block : blocks) {
    try {
      ApplyChannelDocument(block.document, params);
    } catch (const std::exception& e) {
      log.Write(rezorev::kLogError, std::string("init params from json failed. exception: ") + e.what());
      return;
    }
  }
}

void LogChannelParams(const ChannelParams& params, ParamLog& log) {
  using rezorev::kLogInfo;
  log.Write(kLogInfo, "need install pkg [" + params.packageName_ + "]");
  log.Write(kLogInfo, "OrvixDownloader inner SupplyId [" + std::to_string(params.supplyId_) + "]");
  log.Write(kLogInfo, "OrvixDownloader inner buildid [" + std::to_string(params.buildId_) + "]");
  log.Write(kLogInfo, "OrvixDownloader inner appid [" + params.sourceId_ + "]");
  log.Write(kLogInfo, "Background png number: " + std::to_string(params.backgroundImageCount_));
}

void ReadChannelParams(PositionedReader& reader, uint64_t fileSize, ChannelParams& params, ParamLog& log) {
  std::vector<FoundParamBlock> blocks = ScanParamBlocks(reader, fileSize, log);
  ApplyParamBlocks(blocks, params, log);
  LogChannelParams(params, log);
}
