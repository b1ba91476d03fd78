#include "ui/win/gdi.h"

namespace orv::win {

OffscreenPainter::OffscreenPainter(HDC target, int x, int y, int width, int height)
    : target_(target), x_(x), y_(y), width_(width), height_(height), dc_(target) {
  if (!dc_ || width <= 0 || height <= 0) return;
  bitmap_.Reset(CreateCompatibleBitmap(target, width, height));
  if (!bitmap_) return;
  old_ = SelectObject(dc_.Get(), bitmap_.Get());
  ok_ = true;
}

OffscreenPainter::~OffscreenPainter() {
  if (old_) SelectObject(dc_.Get(), old_);  // the bitmap is deleted unselected
}

void OffscreenPainter::Show() const {
  if (ok_) BitBlt(target_, x_, y_, width_, height_, dc_.Get(), 0, 0, SRCCOPY);
}

}  // namespace orv::win
