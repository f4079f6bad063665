// Scaling of markup sizes for the monitor's DPI.
//
// The effective scale is 100 when the process is DPI-unaware, the system-aware scale when system
// aware, else the per-monitor scale. Values scale as value * scale / 100 rounded half away from
// zero; a rectangle scales its left, top, width and height and rebuilds right and bottom. This
// program never changes the scale from 100, so scaling is the identity here.
#pragma once

#include "uitoolkit/ui_geometry.h"

namespace MarkupUI {

class UiDpiScale {
 public:
  enum Awareness { kUnaware = 0, kSystemAware = 1, kPerMonitorAware = 2 };

  int Scale() const { return scale_; }
  void SetScale(int percent);  // also the system-aware scale while awareness is system aware
  int SystemAwareScale() const { return systemScale_; }
  Awareness GetAwareness() const { return awareness_; }
  void SetAwareness(Awareness awareness) { awareness_ = awareness; }
  int EffectiveScale() const;

  int ScaleValue(int value) const;
  UiRect ScaleRect(const UiRect& rect) const;

  // value * numerator / denominator rounded half away from zero (0 for a zero denominator).
  static int MulDivRound(int value, int numerator, int denominator);

 private:
  int scale_ = 100;
  int systemScale_ = 100;
  Awareness awareness_ = kPerMonitorAware;
};

}  // namespace MarkupUI
