// Catalogue writer: mapping, checks, measuring and the XML text.
//
// Sections: mapping and item arguments; checks and defaults; URLs; measuring; XML.
#include "tools/catalogue/catalogue_writer.h"

#include <fstream>
#include <memory>
#include <regex>
#include <set>

#include <nlohmann/json.hpp>

#include "digest/md5.h"
#include "foundation/text_convert.h"
#include "installer/component_table.h"
#include "net/url_downloader.h"

namespace {

// --- mapping and item arguments ---

bool SetItemKey(CataloguePackage& item, const std::string& key, const nlohmann::json& value, std::string& error) {
  try {
    if (key == "file") item.file_ = value.get<std::string>();
    else if (key == "id") item.id_ = value.get<int32_t>();
    else if (key == "name") item.name_ = value.get<std::string>();
    else if (key == "localaddpath") item.localAddPath_ = value.get<std::string>();
    else if (key == "writePathToRegKey") item.registryKey_ = value.get<std::string>();
    else if (key == "version") item.version_ = value.get<std::string>();
    else if (key == "DL_ID") item.downloadId_ = value.get<uint64_t>();
    else if (key == "installInX86") item.installInX86_ = value.get<bool>();
    else if (key == "installInX64") item.installInX64_ = value.get<bool>();
    else {
      error = "unknown item key \"" + key + "\"";
      return false;
    }
  } catch (const nlohmann::json::exception& e) {
    error = "item key \"" + key + "\": " + e.what();
    return false;
  }
  return true;
}

bool ReadItem(const nlohmann::json& json, CataloguePackage& item, std::string& error) {
  if (!json.is_object()) {
    error = "an item is not an object";
    return false;
  }
  for (const auto& [key, value] : json.items()) {
    if (!SetItemKey(item, key, value, error)) return false;
  }
  if (item.file_.empty() || !json.contains("id")) {
    error = "an item needs \"file\" and \"id\": " + json.dump();
    return false;
  }
  return true;
}

bool ReadItems(const nlohmann::json& json, std::vector<CataloguePackage>& items, const std::string& where,
               std::string& error) {
  if (!json.is_array()) {
    error = where + " is not an array";
    return false;
  }
  for (const nlohmann::json& entry : json) {
    CataloguePackage item;
    if (!ReadItem(entry, item, error)) {
      error = where + ": " + error;
      return false;
    }
    items.push_back(std::move(item));
  }
  return true;
}

// --- checks and defaults ---

bool ValidRange(const std::string& range) {
  static const std::regex kPart("^\\s*([0-9]+)(-([0-9]+))?\\s*$");
  if (range.find_first_not_of("0123456789-, ") != std::string::npos) return false;
  size_t start = 0;
  bool any = false;
  while (start <= range.size()) {
    size_t end = range.find(',', start);
    if (end == std::string::npos) end = range.size();
    const std::string part = range.substr(start, end - start);
    start = end + 1;
    // Spaces also separate, as the installer reads it.
    size_t from = 0;
    while (from < part.size()) {
      size_t to = part.find(' ', from);
      if (to == std::string::npos) to = part.size();
      const std::string token = part.substr(from, to - from);
      from = to + 1;
      if (token.empty()) continue;
      std::smatch match;
      if (!std::regex_match(token, match, kPart)) return false;
      try {
        const unsigned long long low = std::stoull(match[1].str());
        if (match[3].matched && std::stoull(match[3].str()) < low) return false;
      } catch (const std::exception&) {
        return false;  // beyond 64 bits
      }
      any = true;
    }
  }
  return any;
}

bool CompleteItems(std::vector<CataloguePackage>& items, const std::string& where, std::string& error) {
  std::set<int32_t> ids;
  for (CataloguePackage& item : items) {
    const std::string label = where + " item " + item.file_ + " (id " + std::to_string(item.id_) + ")";
    if (!ids.insert(item.id_).second) {
      error = label + ": the id is listed twice; the installer would take only the first";
      return false;
    }
    if (item.file_.find_first_of("/\\") != std::string::npos) {
      error = label + ": \"file\" must be a file name in the package folder";
      return false;
    }
    if (item.name_.empty()) item.name_ = item.file_;
    if (item.name_.find_first_of("/\\:") != std::string::npos) {
      error = label + ": \"name\" is a file name, without folders";
      return false;
    }
    if (item.registryKey_.empty()) {
      const ComponentInfo* info = FindComponentInfo(item.id_);
      if (!info) {
        error = label + ": not a component of the product; give its \"writePathToRegKey\"";
        return false;
      }
      item.registryKey_ = rezorev::Utf16ToUtf8(info->registryKey);
    }
  }
  return true;
}

// --- XML ---

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ItemXml(const CataloguePackage& item, const std::string& baseUrl, const std::string& indent) {
  auto attribute = [](const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + Escape(value) + "\"";
  };
  return indent + "<Item" + attribute("id", std::to_string(item.id_)) + attribute("name", item.name_) +
         attribute("localaddpath", item.localAddPath_) + attribute("installInX86", item.installInX86_ ? "1" : "0") +
         attribute("installInX64", item.installInX64_ ? "1" : "0") +
         attribute("writePathToRegKey", item.registryKey_) + attribute("DL_ID", std::to_string(item.downloadId_)) +
         attribute("hash", item.md5_) + attribute("filesize", std::to_string(item.size_)) +
         attribute("url", PackageUrl(baseUrl, item.file_)) + attribute("version", item.version_) + "/>\n";
}

}  // namespace

bool ReadCatalogueMapping(const std::string& json, CataloguePlan& plan, std::string& error) {
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(json);
  } catch (const nlohmann::json::exception& e) {
    error = std::string("the mapping is not JSON: ") + e.what();
    return false;
  }
  if (!root.is_object()) {
    error = "the mapping is not a JSON object";
    return false;
  }
  CataloguePlan added;
  for (const auto& [key, value] : root.items()) {
    if (key == "baseUrl") {
      if (!value.is_string()) {
        error = "\"baseUrl\" is not a string";
        return false;
      }
      added.baseUrl_ = value.get<std::string>();
    } else if (key == "common") {
      if (!ReadItems(value, added.common_, "\"common\"", error)) return false;
    } else if (key == "channels") {
      if (!value.is_array()) {
        error = "\"channels\" is not an array";
        return false;
      }
      for (const nlohmann::json& group : value) {
        if (!group.is_object() || !group.contains("range") || !group["range"].is_string() ||
            !group.contains("items") || group.size() != 2) {
          error = "a channel group needs exactly \"range\" (text) and \"items\": " + group.dump();
          return false;
        }
        CatalogueChannelGroup channel;
        channel.range_ = group["range"].get<std::string>();
        if (!ReadItems(group["items"], channel.items_, "channel " + channel.range_, error)) return false;
        added.channels_.push_back(std::move(channel));
      }
    } else {
      error = "unknown mapping key \"" + key + "\"";
      return false;
    }
  }
  if (!added.baseUrl_.empty()) plan.baseUrl_ = added.baseUrl_;
  plan.common_.insert(plan.common_.end(), added.common_.begin(), added.common_.end());
  plan.channels_.insert(plan.channels_.end(), added.channels_.begin(), added.channels_.end());
  return true;
}

bool ParseCatalogueItemArgument(const std::string& text, CataloguePackage& item, std::string& error) {
  static const std::regex kHead("^([0-9]+)=([^,]+)$");
  const size_t comma = text.find(',');
  std::smatch match;
  const std::string head = text.substr(0, comma);
  if (!std::regex_match(head, match, kHead)) {
    error = "an item is written ID=FILE[,key=value...]: " + text;
    return false;
  }
  CataloguePackage parsed;
  try {
    parsed.id_ = std::stoi(match[1].str());
  } catch (const std::exception&) {
    error = "the id is out of range: " + text;
    return false;
  }
  parsed.file_ = match[2].str();
  size_t start = comma == std::string::npos ? text.size() : comma + 1;
  while (start < text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string setting = text.substr(start, end - start);
    start = end + 1;
    const size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0) {
      error = "a setting is written key=value: " + setting;
      return false;
    }
    const std::string key = setting.substr(0, equals), value = setting.substr(equals + 1);
    nlohmann::json typed = value;
    if (key == "DL_ID") {
      if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
        error = "DL_ID is a number: " + setting;
        return false;
      }
      typed = std::stoull(value);
    } else if (key == "installInX86" || key == "installInX64") {
      if (value != "0" && value != "1") {
        error = key + " is 0 or 1: " + setting;
        return false;
      }
      typed = value == "1";
    } else if (key == "file" || key == "id") {
      error = "the id and the file come before the settings: " + text;
      return false;
    }
    if (!SetItemKey(parsed, key, typed, error)) return false;
  }
  item = std::move(parsed);
  return true;
}

bool CompleteCataloguePlan(CataloguePlan& plan, std::string& error) {
  DownloadUrlParts parts;
  if (!SplitDownloadUrl(rezorev::Utf8ToUtf16(PackageUrl(plan.baseUrl_, "x")), parts)) {
    error = "the base URL \"" + plan.baseUrl_ + "\" is not one the installer can download from "
            "(http, https or ftp in lower case, a host, then a path)";
    return false;
  }
  if (plan.common_.empty() && plan.channels_.empty()) {
    error = "no packages: give a mapping or items";
    return false;
  }
  if (!CompleteItems(plan.common_, "common", error)) return false;
  for (CatalogueChannelGroup& channel : plan.channels_) {
    if (!ValidRange(channel.range_)) {
      error = "channel range \"" + channel.range_ + "\" is not a list of numbers and low-high ranges";
      return false;
    }
    if (!CompleteItems(channel.items_, "channel " + channel.range_, error)) return false;
  }
  return true;
}

// --- URLs ---

std::string PackageUrl(const std::string& baseUrl, const std::string& file) {
  std::string url = baseUrl;
  if (url.empty() || url.back() != '/') url += '/';
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : file) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

// --- measuring ---

bool MeasurePackages(const std::string& folder, CataloguePlan& plan, std::string& error) {
  auto measure = [&](CataloguePackage& item) {
    const std::string path = folder + "/" + item.file_;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = "cannot open package " + path;
      return false;
    }
    Md5Context context;
    Md5Init(&context);
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    uint64_t size = 0;
    while (in) {
      in.read(buffer.get(), 1 << 20);
      const std::streamsize got = in.gcount();
      Md5Update(&context, buffer.get(), static_cast<size_t>(got));
      size += static_cast<uint64_t>(got);
    }
    if (in.bad()) {
      error = "cannot read package " + path;
      return false;
    }
    uint8_t digest[16];
    Md5Final(&context, digest);
    item.md5_ = rezorev::Utf16ToUtf8(Md5DigestText(digest));
    item.size_ = size;
    return true;
  };
  for (CataloguePackage& item : plan.common_) {
    if (!measure(item)) return false;
  }
  for (CatalogueChannelGroup& channel : plan.channels_) {
    for (CataloguePackage& item : channel.items_) {
      if (!measure(item)) return false;
    }
  }
  return true;
}

// --- XML ---

std::string WriteCatalogueXml(const CataloguePlan& plan) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Components>\n";
  for (const CataloguePackage& item : plan.common_) xml += ItemXml(item, plan.baseUrl_, "  ");
  if (!plan.channels_.empty()) {
    xml += "  <other>\n    <OtherConfig>\n";
    for (const CatalogueChannelGroup& channel : plan.channels_) {
      xml += "      <ChannelComponents ChannelRange=\"" + Escape(channel.range_) + "\">\n";
      for (const CataloguePackage& item : channel.items_) xml += ItemXml(item, plan.baseUrl_, "        ");
      xml += "      </ChannelComponents>\n";
    }
    xml += "    </OtherConfig>\n  </other>\n";
  }
  xml += "</Components>\n";
  return xml;
}
