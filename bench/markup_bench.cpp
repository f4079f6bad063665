// Markup parsing speed: CXmlMarkup against pugixml (wide-character build) on the main window's
// markup, both starting from the same UTF-8 bytes, many times in the same run. Prints the time
// per parse of each and their ratio (goal: CXmlMarkup at least as fast, ratio >= 1.0).
//
//   markup_bench.exe [parses per contender and round]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <pugixml.hpp>

#include "uitoolkit/markup.h"

namespace {

// The main window of the installer: the window, its fonts and styles, the title bar and the five
// pages below the picture, as the skin package carries it.
const char kMainWindow[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="462,312" caption="0,0,0,35">
  <Font id="0" name="Arial" size="12px" bold="true" />
  <Font id="1" name="Arial" size="16px" bold="true" />
  <Style name="bottom_container" value="padding=&quot;0,195,0,0&quot;" />
  <Style name="resource_text" value="resourcetext=&quot;true&quot; endellipsis=&quot;true&quot;" />
  <VerticalLayout name="bkg_layout">
    <HorizontalLayout height="35">
      <Label name="title_label" resourcetext="true" text="wnd_title" padding="39,6,0,0" textcolor="#73ffffff" font="0" align="left" />
      <Button name="minimum_btn" width="11" height="9" padding="0,11,16,0" normalimage="file='img/-normal.png' dest='0,4,11,5'" hotimage="file='img/-hover.png' dest='0,4,11,5'" pushedimage="file='img/-down.png' dest='0,4,11,5'" />
      <Button name="close_btn" width="9" height="9" padding="0,11,11,0" normalimage="img/x-normal.png" hotimage="img/x-hover.png" pushedimage="img/x-down.png" />
    </HorizontalLayout>
    <HorizontalLayout name="start" style="bottom_container" visible="false">
      <Button name="install_btn" bkcolor="0xFF0e6eff" padding="166,20,0,0" width="130" height="40" style="resource_text" text="wnd_install" tooltip="wnd_install" textcolor="#FFFFFFFF" font="1" />
      <Button name="custom_install_btn" style="resource_text" text="wnd_custom_install" tooltip="wnd_custom_install" padding="10,-10,0,0" textcolor="#FFFFFFFF" />
    </HorizontalLayout>
    <HorizontalLayout name="custom_install" style="bottom_container" visible="false">
      <VerticalLayout padding="20,5,0,0" width="280">
        <Label resourcetext="true" text="wnd_install_path" textcolor="#FFFFFFFF" />
        <Edit name="install_path_edit" textcolor="#FF000000" padding="0,5,0,0" width="260" height="21" />
      </VerticalLayout>
      <Button name="browser_btn" resourcetext="true" text="wnd_browser" width="58" height="21" bkcolor="#00000000" textcolor="#FFFFFFFF" bordercolor="0xFFFFFFFF" bordersize="1" padding="0,30,0,0" />
      <Button name="install_btn" bkcolor="#FF00c249" padding="15,30,0,0" width="58" height="21" rstyle="resource_text" text="wnd_install" tooltip="wnd_install" textcolor="#FFFFFFFF" />
    </HorizontalLayout>
    <VerticalLayout name="installing" style="bottom_container" visible="false">
      <Progress name="installing_progress" min="0" max="100" value="0" width="462" height="3" bkcolor="#FF353a59" foreimage="img/process_light.png" />
      <Label name="install_status_text" text="wnd_install_status" font="0" textcolor="#FFFFFFFF" padding="0,30,0,0" align="center" />
    </VerticalLayout>
    <HorizontalLayout name="error" style="bottom_container" visible="false">
      <Label name="error_text" text="error_common" font="0" textcolor="#FFFFFFFF" padding="0,0,0,0" align="center" />
    </HorizontalLayout>
    <HorizontalLayout name="complete" style="bottom_container" visible="false">
      <Button name="complete_btn" bkcolor="0xFF00c249" padding="166,20,0,0" width="130" height="40" style="resource_text" text="wnd_complete" tooltip="wnd_complete" textcolor="#FFFFFFFF" font="1" />
      <Option name="create_icon_opt" height="13" width="13" padding="30,35,0,0" selected="true" normalimage="file='img/opt-normal.png' dest='0,0,13,13'" hotimage="file='img/opt-hover.png' dest='0,0,13,13'" selectedimage="file='img/opt-selected-normal.png' dest='0,0,13,13'" />
      <Label style="resource_text" text="wnd_add_icon" tooltip="wnd_add_icon" textcolor="#FFFFFFF" Font="0" padding="5,0,0,0" />
    </HorizontalLayout>
  </VerticalLayout>
</Window>
)";

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  int iterations = argc > 1 ? std::atoi(argv[1]) : 5000;
  const size_t size = sizeof kMainWindow - 1;
  size_t sink = 0;  // results are used so that no parse can be dropped

  // Both parsers once first: the answer must be the same tree size.
  MarkupUI::CXmlMarkup markup;
  if (!markup.ParseBytes(kMainWindow, size)) {
    std::printf("CXmlMarkup failed: %ls\n", markup.ErrorMessage());
    return 1;
  }
  pugi::xml_document document;
  if (!document.load_buffer(kMainWindow, size, pugi::parse_default, pugi::encoding_utf8)) {
    std::printf("pugixml failed\n");
    return 1;
  }

  // Short rounds, alternating contenders, best of each: other load on the machine shows up as
  // slow rounds, not as a skewed ratio.
  const int kRounds = 9;
  double best[2] = {1e9, 1e9};
  for (int round = 0; round < kRounds; ++round) {
    Clock::time_point start = Clock::now();
    for (int i = 0; i < iterations; ++i) {
      MarkupUI::CXmlMarkup m;
      m.ParseBytes(kMainWindow, size);
      sink += m.ElementCount();
    }
    best[0] = std::min(best[0], Seconds(Clock::now() - start));
    start = Clock::now();
    for (int i = 0; i < iterations; ++i) {
      pugi::xml_document d;
      d.load_buffer(kMainWindow, size, pugi::parse_default, pugi::encoding_utf8);
      sink += d.first_child().empty() ? 0 : 1;
    }
    best[1] = std::min(best[1], Seconds(Clock::now() - start));
  }
  std::printf("markup:      %zu bytes, %u elements, %d parses per contender (best of %d rounds)\n", size,
              markup.ElementCount(), iterations, kRounds);
  std::printf("CXmlMarkup:  %.2f us per parse\n", best[0] / iterations * 1e6);
  std::printf("pugixml:     %.2f us per parse\n", best[1] / iterations * 1e6);
  std::printf("ratio:       %.2f (pugixml time / CXmlMarkup time; goal 1.00 or more)\n", best[1] / best[0]);
  return sink == 0 ? 1 : 0;
}
