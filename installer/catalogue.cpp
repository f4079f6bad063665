// Component catalogue reader.
//
// Catalogue format (XML; element names "Item", "other" and "ChannelComponents" compared without
// regard to case, "OtherConfig" and attribute names exactly):
//
//   <anyroot>
//     <Item id=".." name=".." localaddpath=".." installInX86="1" installInX64="1"
//           writePathToRegKey=".." DL_ID=".." hash=".." filesize=".." url=".." version=".."/>
//     <other>
//       <OtherConfig>
//         <ChannelComponents ChannelRange="100000-100999,100566,200001-200010">
//           <Item .../>
//         </ChannelComponents>
//       </OtherConfig>
//     </other>
//   </anyroot>
//
// Top-level items are the common items; the items of the last ChannelComponents group whose
// ChannelRange holds the supply id are the channel items.
#include <cwctype>
#include <stdexcept>

#include "foundation/ascii_text.h"
#include "foundation/logger.h"
#include "foundation/xml_tree.h"
#include "installer/install_engine.h"

namespace {

using rezorev::EqualsIgnoringAsciiCase;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A run of decimal digits as an unsigned 64-bit number; beyond 64 bits is std::out_of_range,
// like every other catalogue number.
uint64_t DigitsToNumber(const std::wstring& text, size_t begin, size_t end) {
  return ParseCatalogueNumber(text.substr(begin, end - begin));
}

}  // namespace

uint64_t ParseCatalogueNumber(const std::wstring& text) {
  // std::stoull: leading white space and a sign accepted, trailing text ignored, invalid_argument
  // for no number at all, out_of_range beyond 64 bits.
  return std::stoull(text, nullptr, 10);
}

std::pair<int32_t, ComponentItem> ReadComponentItem(const rezorev::XmlNode& element) {
  ComponentItem item;
  item.version_ = element.Attribute(L"version");
  item.id_ = static_cast<int32_t>(static_cast<uint32_t>(ParseCatalogueNumber(element.Attribute(L"id"))));
  item.name_ = element.Attribute(L"name");
  item.localAddPath_ = element.Attribute(L"localaddpath");
  item.installInX86_ = element.Attribute(L"installInX86") == L"1";
  item.installInX64_ = element.Attribute(L"installInX64") == L"1";
  item.registryKey_ = element.Attribute(L"writePathToRegKey");
  item.downloadId_ = ParseCatalogueNumber(element.Attribute(L"DL_ID"));
  item.hash_ = element.Attribute(L"hash");
  item.fileSize_ = ParseCatalogueNumber(element.Attribute(L"filesize"));
  item.url_ = element.Attribute(L"url");
  return {item.id_, item};
}

void CInstallEngine::ParseCatalogueRoot(const rezorev::XmlNode& root) {
  for (const rezorev::XmlNode* child : root.Children()) {
    const std::wstring name = child->Name();
    if (EqualsIgnoringAsciiCase(name, L"Item")) {
      commonItems_.insert(ReadComponentItem(*child));  // an id already present keeps its item
    } else if (EqualsIgnoringAsciiCase(name, L"other")) {
      // A channel configuration without its OtherConfig carries nothing: skipped.
      if (const rezorev::XmlNode* config = child->FindChild(L"OtherConfig")) ParseChannelComponent(*config);
    }
  }
}

void CInstallEngine::ParseChannelComponent(const rezorev::XmlNode& otherConfig) {
  const uint64_t supplyId = params_.supplyId_;
  for (const rezorev::XmlNode* group : otherConfig.Children()) {
    if (!EqualsIgnoringAsciiCase(group->Name(), L"ChannelComponents")) continue;
    const std::wstring range = group->Attribute(L"ChannelRange");

    // Range pass: every non-overlapping "<digits>-<digits>", left to right. A match starts at the
    // beginning of a digit run that reaches a '-' followed by a digit; both runs are taken whole.
    // What no range consumed is left for the single pass.
    std::wstring rest;
    rest.reserve(range.size());
    size_t i = 0;
    while (i < range.size()) {
      if (!IsDigit(range[i])) {
        rest.push_back(range[i++]);
        continue;
      }
      size_t lowEnd = i;
      while (lowEnd < range.size() && IsDigit(range[lowEnd])) ++lowEnd;
      if (lowEnd + 1 < range.size() && range[lowEnd] == L'-' && IsDigit(range[lowEnd + 1])) {
        size_t highEnd = lowEnd + 1;
        while (highEnd < range.size() && IsDigit(range[highEnd])) ++highEnd;
        uint64_t low = DigitsToNumber(range, i, lowEnd);
        uint64_t high = DigitsToNumber(range, lowEnd + 1, highEnd);
        if (low <= supplyId && supplyId <= high) SelectChannelComponents(*group);
        i = highEnd;
      } else {
        rest.append(range, i, lowEnd - i);
        i = lowEnd;
      }
    }

    // Single pass: every digit run of what is left names one channel.
    for (size_t j = 0; j < rest.size();) {
      if (!IsDigit(rest[j])) {
        ++j;
        continue;
      }
      size_t end = j;
      while (end < rest.size() && IsDigit(rest[end])) ++end;
      if (DigitsToNumber(rest, j, end) == supplyId) SelectChannelComponents(*group);
      j = end;
    }
  }
}

void CInstallEngine::SelectChannelComponents(const rezorev::XmlNode& channelComponents) {
  ComponentItemMap items;
  const std::vector<const rezorev::XmlNode*> children = channelComponents.Children();
  for (const rezorev::XmlNode* child : children)
    if (EqualsIgnoringAsciiCase(child->Name(), L"Item")) items.insert(ReadComponentItem(*child));
  channelItems_ = std::move(items);
  LOG_INFO("Component") << "get channel: " << params_.supplyId_ << " " << static_cast<uint32_t>(children.size())
                        << " components.";
}
