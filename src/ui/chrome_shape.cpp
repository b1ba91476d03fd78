// The window shapes: regions stored as rectangles, and applied to windows.
#include "ui/chrome.h"

#include <algorithm>
#include <cstring>

#include "ui/win/gdi.h"

namespace orv {

// ---- the window shape ---------------------------------------------------------------------

std::vector<BYTE> StoreShape(std::span<const RECT> rects) {
  RGNDATAHEADER header{};
  header.dwSize = sizeof header;
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rects.size());
  header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  if (!rects.empty()) {
    header.rcBound = rects.front();
    for (const RECT& r : rects) {
      header.rcBound.left = std::min(header.rcBound.left, r.left);
      header.rcBound.top = std::min(header.rcBound.top, r.top);
      header.rcBound.right = std::max(header.rcBound.right, r.right);
      header.rcBound.bottom = std::max(header.rcBound.bottom, r.bottom);
    }
  }
  const DWORD bytes = sizeof header + header.nRgnSize;
  std::vector<BYTE> stored(sizeof(DWORD) + bytes);
  std::memcpy(stored.data(), &bytes, sizeof bytes);
  std::memcpy(stored.data() + sizeof bytes, &header, sizeof header);
  if (!rects.empty())
    std::memcpy(stored.data() + sizeof bytes + sizeof header, rects.data(), header.nRgnSize);
  return stored;
}

HRGN LoadShape(const std::vector<BYTE>& stored) {
  DWORD bytes = 0;
  RGNDATAHEADER header{};
  if (stored.size() < sizeof bytes + sizeof header) return nullptr;
  std::memcpy(&bytes, stored.data(), sizeof bytes);
  std::memcpy(&header, stored.data() + sizeof bytes, sizeof header);
  if (bytes != stored.size() - sizeof bytes || header.dwSize != sizeof header ||
      header.iType != RDH_RECTANGLES ||
      static_cast<unsigned long long>(header.nCount) * sizeof(RECT) > bytes - sizeof header)
    return nullptr;
  // The data may not be aligned inside the vector: copy it into DWORD-aligned memory.
  std::vector<DWORD> aligned((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(aligned.data(), stored.data() + sizeof bytes, bytes);
  return ExtCreateRegion(nullptr, bytes, reinterpret_cast<const RGNDATA*>(aligned.data()));
}

bool ApplyShape(HWND window, const std::vector<BYTE>& stored) {
  win::Region region(LoadShape(stored));
  if (!region) return false;
  if (!SetWindowRgn(window, region.Get(), TRUE)) return false;
  region.Release();  // the window owns the region now
  return true;
}

std::vector<RECT> RegionRects(HRGN region) {
  const DWORD size = region ? GetRegionData(region, 0, nullptr) : 0;
  if (size < sizeof(RGNDATAHEADER)) return {};
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, size, data) != size) return {};
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

}  // namespace orv
