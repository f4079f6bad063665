// XmlTree / XmlNode: a small read-only element tree, built from an XML document by pugixml
// (wide-character build), for readers such as the component catalogue.
//
// Each node keeps its element name, its text (the value of its first text or CDATA child), its
// attributes in document order, and its child elements in document order. Comments, processing
// instructions, the declaration and text outside the first text child make no nodes.
//
// Nesting is bounded: a document whose elements nest deeper than kMaxDepth levels (the root is
// level 1) is rejected like malformed XML, so that a hostile or broken file cannot exhaust the
// stack while the tree is built or destroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace rezorev {

class XmlNode {
 public:
  XmlNode(std::wstring name, std::wstring text);
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  std::wstring Name() const { return name_; }
  std::wstring Text() const { return text_; }
  // The child elements in document order; the nodes stay owned by this node.
  std::vector<const XmlNode*> Children() const;
  // The first child whose name equals `name` exactly (case-sensitive); nullptr when none.
  const XmlNode* FindChild(const std::wstring& name) const;
  // The attribute's value; empty when the node has no attribute of that name.
  std::wstring Attribute(const std::wstring& name) const;
  const std::vector<std::pair<std::wstring, std::wstring>>& Attributes() const { return attributes_; }
  // The parent element; nullptr for the root.
  const XmlNode* Parent() const { return parent_; }

  // Replaces the value in place when the name exists, else appends the attribute.
  void SetAttribute(const std::wstring& name, const std::wstring& value);
  // Takes `child` over as the last child and makes this node its parent.
  XmlNode* AppendChild(std::unique_ptr<XmlNode> child);

 private:
  std::wstring name_;
  std::wstring text_;
  std::vector<std::pair<std::wstring, std::wstring>> attributes_;
  std::vector<std::unique_ptr<XmlNode>> children_;
  const XmlNode* parent_ = nullptr;
};

class XmlTree {
 public:
  static constexpr int kMaxDepth = 256;

  // Reads the whole file and parses it. False, with no tree, when the file cannot be opened or
  // read, or does not parse (malformed, empty, no root element, nested deeper than kMaxDepth).
  bool Load(const std::wstring& path);

  // Parses a document held in memory (encoding detected from a byte-order mark, else UTF-8).
  // Same results as Load. Any previous tree is released first.
  bool Parse(const void* data, size_t size);

  // The root element; nullptr when nothing was loaded or the last load failed.
  const XmlNode* Root() const { return root_.get(); }

 private:
  std::unique_ptr<XmlNode> root_;
};

}  // namespace rezorev
