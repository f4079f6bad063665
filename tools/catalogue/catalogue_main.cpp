// orvix-catalogue: writes the component catalogue for a folder of packages.
//
//   orvix-catalogue --packages DIR [--base-url URL] [--mapping FILE.json]
//                   [--item ID=FILE[,key=value...]]... [--channel RANGE [--item ...]...]...
//                   [-o OUT.xml]
//
// --item adds a common package until the first --channel; after a --channel it adds to that
// channel's group. Items from --mapping come first. The catalogue goes to OUT.xml, or to the
// standard output. Exit code 0 on success, 1 with a message on standard error otherwise.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/catalogue/catalogue_writer.h"

namespace {

int Fail(const std::string& message) {
  std::cerr << "orvix-catalogue: " << message << "\n";
  return 1;
}

const char kUsage[] =
    "usage: orvix-catalogue --packages DIR [--base-url URL] [--mapping FILE.json]\n"
    "                       [--item ID=FILE[,key=value...]]... [--channel RANGE [--item ...]...]...\n"
    "                       [-o OUT.xml]\n";

}  // namespace

int main(int argc, char** argv) {
  std::string packages, output, baseUrl, mapping;
  CataloguePlan commandLine;
  CatalogueChannelGroup* channel = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= argc) return Fail("missing value after " + arg + "\n" + kUsage);
    const std::string value = argv[++i];
    if (arg == "--packages") {
      packages = value;
    } else if (arg == "-o" || arg == "--output") {
      output = value;
    } else if (arg == "--base-url") {
      baseUrl = value;
    } else if (arg == "--mapping") {
      mapping = value;
    } else if (arg == "--channel") {
      commandLine.channels_.push_back(CatalogueChannelGroup{value, {}});
      channel = &commandLine.channels_.back();
    } else if (arg == "--item") {
      CataloguePackage item;
      std::string error;
      if (!ParseCatalogueItemArgument(value, item, error)) return Fail(error);
      (channel ? channel->items_ : commandLine.common_).push_back(std::move(item));
    } else {
      return Fail("unknown option " + arg + "\n" + kUsage);
    }
  }
  if (packages.empty()) return Fail(std::string("--packages is required\n") + kUsage);

  CataloguePlan plan;
  std::string error;
  if (!mapping.empty()) {
    std::ifstream in(mapping, std::ios::binary);
    std::stringstream text;
    if (!in || !(text << in.rdbuf())) return Fail("cannot read the mapping " + mapping);
    if (!ReadCatalogueMapping(text.str(), plan, error)) return Fail(mapping + ": " + error);
  }
  if (!baseUrl.empty()) plan.baseUrl_ = baseUrl;
  plan.common_.insert(plan.common_.end(), commandLine.common_.begin(), commandLine.common_.end());
  plan.channels_.insert(plan.channels_.end(), commandLine.channels_.begin(), commandLine.channels_.end());
  if (!CompleteCataloguePlan(plan, error) || !MeasurePackages(packages, plan, error)) return Fail(error);

  const std::string xml = WriteCatalogueXml(plan);
  if (output.empty()) {
    std::cout << xml;
    return std::cout.flush() ? 0 : 1;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out || !(out << xml) || !out.flush()) return Fail("cannot write " + output);
  return 0;
}
