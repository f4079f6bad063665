#include <gtest/gtest.h>

#include <map>
#include <string>

#include "foundation/logger.h"

namespace rezorev {
namespace {

TEST(LogFunctionName, KeepsOnlyTheQualifiedName) {
  const struct {
    const char* signature;
    const char* name;
  } cases[] = {
      {"void CMainWnd::DownloadComponent(int)", "CMainWnd::DownloadComponent"},
      {"bool GlobalConfig::InitParamsFromSelf()", "GlobalConfig::InitParamsFromSelf"},
      {"GlobalConfig::GlobalConfig()", "GlobalConfig::GlobalConfig"},
      {"int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)", "wWinMain"},
      {"static GlobalConfig* GlobalConfig::Instance()", "GlobalConfig::Instance"},
      {"virtual void CMainWnd::Notify(MarkupUI::TNotifyUI&)", "CMainWnd::Notify"},
      {"const char* const* Table::Names() const", "Table::Names"},
      {"std::map<int, std::pair<int, int> > Cache<T>::Get(int) const [with T = int]", "Cache<T>::Get"},
      {"T Max(T, T) [with T = long int]", "Max"},
      {"bool Path::operator<(const Path&) const", "Path::operator<"},
      {"Stream& Stream::operator<<(int)", "Stream::operator<<"},
      {"bool Less::operator()(int, int) const", "Less::operator()"},
      {"Item* Ptr::operator->()", "Ptr::operator->"},
      {"Buffer::operator bool() const", "Buffer::operator bool"},
      {"static void* Pool::operator new(size_t)", "Pool::operator new"},
      {"void Net::operatorStatus(int)", "Net::operatorStatus"},
      {"CMainWnd::OnPrepare()::<lambda()>", "CMainWnd::OnPrepare::<lambda()>"},
      {"void (anonymous namespace)::Helper(int)", "(anonymous namespace)::Helper"},
      {"void {anonymous}::Helper(int)", "{anonymous}::Helper"},
      {"main", "main"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QualifiedFunctionName(c.signature), c.name) << c.signature;
  EXPECT_EQ(QualifiedFunctionName(nullptr), "");
}

// What this compiler really writes, not what we expect it to write.
struct Sample {
  const char* Member(int, const std::map<int, int>&) const { return LogFunctionName(__PRETTY_FUNCTION__); }
  template <typename T>
  static const char* Template(T) { return LogFunctionName(__PRETTY_FUNCTION__); }
  const char* operator()(int) { return LogFunctionName(__PRETTY_FUNCTION__); }
  const char* Lambda() {
    return [] { return LogFunctionName(__PRETTY_FUNCTION__); }();
  }
};

TEST(LogFunctionName, ReadsTheCompilersOwnSignatures) {
  Sample sample;
  EXPECT_STREQ(sample.Member(1, {}), "rezorev::{anonymous}::Sample::Member");
  EXPECT_STREQ(Sample::Template(std::map<int, int>()), "rezorev::{anonymous}::Sample::Template");
  EXPECT_STREQ(sample(1), "rezorev::{anonymous}::Sample::operator()");
  EXPECT_STREQ(sample.Lambda(), "rezorev::{anonymous}::Sample::Lambda::<lambda()>");
  // Interned: the same signature gives the same pointer.
  EXPECT_EQ(sample.Member(2, {}), sample.Member(3, {}));
}

}  // namespace
}  // namespace rezorev
