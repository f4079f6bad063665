#include "foundation/xml_tree.h"

#include <pugixml.hpp>

namespace rezorev {
namespace {

// Builds the node for `element` and, recursively, its child elements. Returns nullptr when the
// elements below nest deeper than the tree allows.
std::unique_ptr<XmlNode> BuildNode(const pugi::xml_node& element, int depth) {
  if (depth > XmlTree::kMaxDepth) return nullptr;
  auto node = std::make_unique<XmlNode>(element.name(), element.child_value());
  for (const pugi::xml_attribute& attribute : element.attributes()) {
    node->SetAttribute(attribute.name(), attribute.value());
  }
  for (const pugi::xml_node& child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    std::unique_ptr<XmlNode> built = BuildNode(child, depth + 1);
    if (!built) return nullptr;
    node->AppendChild(std::move(built));
  }
  return node;
}

}  // namespace

XmlNode::XmlNode(std::wstring name, std::wstring text)
    : name_(std::move(name)), text_(std::move(text)) {}

std::vector<const XmlNode*> XmlNode::Children() const {
  std::vector<const XmlNode*> children;
  children.reserve(children_.size());
  for (const auto& child : children_) children.push_back(child.get());
  return children;
}

const XmlNode* XmlNode::FindChild(const std::wstring& name) const {
  for (const auto& child : children_) {
    if (child->name_ == name) return child.get();
  }
  return nullptr;
}

std::wstring XmlNode::Attribute(const std::wstring& name) const {
  for (const auto& attribute : attributes_) {
    if (attribute.first == name) return attribute.second;
  }
  return std::wstring();
}

void XmlNode::SetAttribute(const std::wstring& name, const std::wstring& value) {
  for (auto& attribute : attributes_) {
    if (attribute.first == name) {
      attribute.second = value;
      return;
    }
  }
  attributes_.emplace_back(name, value);
}

XmlNode* XmlNode::AppendChild(std::unique_ptr<XmlNode> child) {
  child->parent_ = this;
  children_.push_back(std::move(child));
  return children_.back().get();
}

bool XmlTree::Parse(const void* data, size_t size) {
  root_.reset();
  pugi::xml_document document;
  if (!document.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto)) return false;
  const pugi::xml_node rootElement = document.document_element();
  if (!rootElement) return false;
  root_ = BuildNode(rootElement, 1);
  return root_ != nullptr;
}

}  // namespace rezorev
