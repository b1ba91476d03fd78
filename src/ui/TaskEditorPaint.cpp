// The task editor's painting: the step band, the tab page's frame and the owner-drawn tabs.
#include "ui/TaskEditor.h"

#include <commctrl.h>

#include <string>

#include "ui/TaskEditorParts.h"
#include "ui/win32_text.h"

namespace orv {

using namespace editor;

void TaskEditor::Paint() {
  const win::PaintDc paint(hwnd_);
  HDC dc = paint.Get();
  RECT client;
  GetClientRect(hwnd_, &client);
  const auto& pal = skin::Colours();
  // The picture: a band with the four steps, the current one highlighted.
  RECT band{0, 0, skin_.Scale(kLeftBand), client.bottom};
  SetDCBrushColor(dc, pal.band);
  FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, pal.bandText);
  HGDIOBJ oldFont = SelectObject(dc, skin_.TitleFont());
  RECT title{skin_.Scale(16), skin_.Scale(18), band.right - skin_.Scale(8), skin_.Scale(48)};
  DrawTextW(dc, L"Orvalis", -1, &title, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, skin_.Font());
  RECT sub{title.left, skin_.Scale(44), title.right, skin_.Scale(62)};
  DrawTextW(dc, L"Task-Editor", -1, &sub, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  static const char* const kSteps[] = {"Task-Art", "Durchführung", "Bedingungen",
                                       "Bezeichnung"};
  for (int i = 0; i < 4; ++i) {
    const bool current = i + 1 == step_;
    const int y = skin_.Scale(96 + i * 30);
    RECT dot{skin_.Scale(14), y, skin_.Scale(34), y + skin_.Scale(20)};
    // In high contrast the other steps are rings in the text colour, their numbers readable.
    const bool plain = skin::HighContrast();
    SetDCBrushColor(dc, current ? pal.bandText : plain ? pal.band : pal.accentHot);
    SetDCPenColor(dc, current || plain ? pal.bandText : pal.accentHot);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    Ellipse(dc, dot.left, dot.top, dot.right, dot.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SetTextColor(dc, current ? pal.band : pal.bandText);
    SelectObject(dc, boldFont_ ? boldFont_.Get() : skin_.Font());
    const std::wstring number = std::to_wstring(i + 1);
    DrawTextW(dc, number.c_str(), -1, &dot, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, current && boldFont_ ? boldFont_.Get() : skin_.Font());
    SetTextColor(dc, current || plain ? pal.bandText : RGB(0xC4, 0xD7, 0xEA));
    RECT text{skin_.Scale(41), y, band.right - skin_.Scale(2), y + skin_.Scale(20)};
    DrawTextW(dc, W(kSteps[i]).c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  // The frame of the step's tab page, open under the active tab.
  const int w96 = MulDiv(client.right, 96, skin_.Dpi());
  const int h96 = MulDiv(client.bottom, 96, skin_.Dpi());
  RECT frame = skin_.Scale(
      RECT{kLeftBand + 12, kTabsTop + kTabHeight - 1, w96 - 12, h96 - kFrameBottomGap});
  SetDCPenColor(dc, pal.buttonBorder);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  // The restriction tabs' line, under their headers.
  if (step_ == 2 && active_[kTabTaskAuto] == 0) {
    RECT tabs;
    GetWindowRect(Item(kIdRadioButtonWeek), &tabs);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&tabs), 2);
    MoveToEx(dc, tabs.left, tabs.bottom - 1, nullptr);
    LineTo(dc, frame.right - skin_.Scale(12), tabs.bottom - 1);
  }
  // The idle note's frame.
  if (step_ == 2 && active_[kTabTaskAuto] == 1) {
    const int x = kLeftBand + 24;
    RECT note = skin_.Scale(RECT{x, 164, w96 - 24, 208});
    Rectangle(dc, note.left, note.top, note.right, note.bottom);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

// Tab headers with their radio button.
bool TaskEditor::DrawOwnItem(const DRAWITEMSTRUCT& item) const {
  const int id = static_cast<int>(item.CtlID);
  int tabCtl = 0, tab = 0;
  const bool isTab = TabOf(id, tabCtl, tab);
  if (!isTab) return false;
  const auto& pal = skin::Colours();
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = active_[tabCtl] == tab;
  SetDCBrushColor(dc, isTab && !selected ? pal.buttonFaceHot : pal.window);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
  if (isTab) {
    SetDCPenColor(dc, pal.buttonBorder);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    LineTo(dc, r.right - 1, r.bottom);
    if (!selected) {
      MoveToEx(dc, r.left, r.bottom - 1, nullptr);
      LineTo(dc, r.right, r.bottom - 1);
    } else {
      SetDCPenColor(dc, pal.accent);  // the active tab's accent line along its top
      MoveToEx(dc, r.left, r.top, nullptr);
      LineTo(dc, r.right, r.top);
      MoveToEx(dc, r.left, r.top + 1, nullptr);
      LineTo(dc, r.right, r.top + 1);
    }
  }
  // Tabs of a choice carry a radio button; single tabs only their caption.
  const bool radio = kTabCounts[tabCtl] > 1;
  int textLeft = r.left + skin_.Scale(isTab ? 10 : 0);
  if (radio) {
    const int d = skin_.Scale(skin::kCheckBoxSize);
    const int x = r.left + skin_.Scale(isTab ? 8 : 0);
    const int y = (r.top + r.bottom - d) / 2;
    SetDCPenColor(dc, selected ? pal.accent : pal.boxBorder);
    SetDCBrushColor(dc, pal.boxFace);
    Ellipse(dc, x, y, x + d, y + d);
    if (selected) {
      const int in = skin_.Scale(4);
      SetDCPenColor(dc, pal.accent);
      SetDCBrushColor(dc, pal.accent);
      Ellipse(dc, x + in, y + in, x + d - in, y + d - in);
    }
    textLeft = x + d + skin_.Scale(6);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  wchar_t text[128] = {};
  GetWindowTextW(item.hwndItem, text, 128);
  HGDIOBJ oldFont = SelectObject(dc, isTab && selected && boldFont_ ? boldFont_.Get() : skin_.Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, isTab && selected ? pal.accent : pal.text);
  RECT tr{textLeft, r.top, r.right - skin_.Scale(4), r.bottom};
  // The access key underlined while the keyboard is used.
  const UINT prefix = (item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
  DrawTextW(dc, text, -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | prefix);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT fr = tr;
    DrawTextW(dc, text, -1, &fr, DT_LEFT | DT_SINGLELINE | DT_CALCRECT | prefix);
    const int h = fr.bottom - fr.top;
    fr.top = (r.top + r.bottom - h) / 2;
    fr.bottom = fr.top + h;
    InflateRect(&fr, 2, 0);
    DrawFocusRect(dc, &fr);
  }
  SelectObject(dc, oldFont);
  return true;
}

}  // namespace orv
