#include "uitoolkit/dpi_scale.h"

#include <cstdint>

namespace MarkupUI {

void UiDpiScale::SetScale(int percent) {
  scale_ = percent;
  if (awareness_ != kPerMonitorAware) systemScale_ = percent;
}

int UiDpiScale::EffectiveScale() const {
  switch (awareness_) {
    case kUnaware: return 100;
    case kSystemAware: return systemScale_;
    default: return scale_;
  }
}

int UiDpiScale::MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return 0;
  int64_t product = static_cast<int64_t>(value) * numerator;
  int64_t half = (denominator < 0 ? -static_cast<int64_t>(denominator) : denominator) / 2;
  bool negative = (product < 0) != (denominator < 0);
  int64_t magnitude = (product < 0 ? -product : product) + half;
  int64_t quotient = magnitude / (denominator < 0 ? -static_cast<int64_t>(denominator) : denominator);
  return static_cast<int>(negative ? -quotient : quotient);
}

int UiDpiScale::ScaleValue(int value) const { return MulDivRound(value, EffectiveScale(), 100); }

UiRect UiDpiScale::ScaleRect(const UiRect& rect) const {
  // Widths are taken in 64 bits: markup can hold any numbers, and right - left may not fit.
  auto clamp = [](int64_t v) { return static_cast<int>(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v); };
  int scale = EffectiveScale();
  auto scaled = [&](int64_t v) {
    int64_t magnitude = (v < 0 ? -v : v) * scale + 50;
    return v < 0 ? -(magnitude / 100) : magnitude / 100;
  };
  UiRect result;
  result.left = clamp(scaled(rect.left));
  result.top = clamp(scaled(rect.top));
  result.right = clamp(result.left + scaled(static_cast<int64_t>(rect.right) - rect.left));
  result.bottom = clamp(result.top + scaled(static_cast<int64_t>(rect.bottom) - rect.top));
  return result;
}

}  // namespace MarkupUI
