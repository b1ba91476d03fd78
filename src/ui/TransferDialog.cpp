#include "ui/TransferDialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>

#include "engine/task_transfer.h"
#include "ui/win/gdi.h"
#include "ui/win32_text.h"

namespace orv {
namespace {

constexpr int kBand96 = 38;
constexpr int kMargin96 = 20;
constexpr int kListHeight96 = 220;
constexpr int kButtonWidth96 = 124, kButtonHeight96 = 26, kButtonGap96 = 8;

bool IsTicked(HWND list, int row) {
  return (ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) >> 12) == 2;
}

}  // namespace

TransferDialog::TransferDialog(const skin::Skin& mainSkin, const TransferForm& form)
    : mainSkin_(mainSkin), form_(form) {}

TransferDialog::~TransferDialog() {
  if (hwnd_) DestroyWindow(hwnd_);
}

int TransferDialog::Run(HINSTANCE instance, HWND owner) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kTransferWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return -1;

  skin_.SetDpi(mainSkin_.Dpi());
  // The height follows the text: the band, the text, the list, the buttons.
  const int textWidth = S(width96_ - 2 * kMargin96);
  const int textHeight = std::max(skin_.TextHeight(W(form_.text), textWidth), S(18));
  const int listHeight = form_.columns.empty() ? 0 : S(kListHeight96 + 10);
  const int height = S(kBand96 + 14) + textHeight + listHeight + S(14 + kButtonHeight96 + 16);
  const int width = S(width96_);

  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);
  const int x = std::max(0, static_cast<int>(area.left + (area.right - area.left - width) / 2));
  const int y = std::max(0, static_cast<int>(area.top + (area.bottom - area.top - height) / 2));
  const std::wstring title = W(form_.title);
  height96_ = MulDiv(height, 96, skin_.Dpi());
  CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_TOPMOST, kTransferWindowClass, title.c_str(),
                  WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, owner, nullptr, instance, this);
  if (!hwnd_) return -1;
  skin_.ShapeWindow(hwnd_);
  layout_.Capture(hwnd_, win::Dpi(skin_.Dpi()));

  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  HWND list = GetDlgItem(hwnd_, kIdTransferList);
  lastFocus_ = list ? list : GetDlgItem(hwnd_, kIdTransferButton1 + form_.focusButton);
  SetFocus(lastFocus_);

  MSG msg;
  while (!done_ && hwnd_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop
      break;
    }
    if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (hwnd_) DestroyWindow(hwnd_);
  if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetForegroundWindow(owner);
  return result_;
}

void TransferDialog::FormCreate() {
  const int width = S(width96_);
  skin_.CreateLabel(hwnd_, kIdTransferTitle, W(form_.title),
                    RECT{S(42), S(9), width - S(14), S(29)}, skin::LabelKind::kBandTitle);
  const std::wstring text = W(form_.text);
  const int textWidth = S(width96_ - 2 * kMargin96);
  const int textHeight = std::max(skin_.TextHeight(text, textWidth), S(18));
  int y = S(kBand96 + 14);
  skin_.CreateLabel(hwnd_, kIdTransferText, text,
                    RECT{S(kMargin96), y, S(kMargin96) + textWidth, y + textHeight},
                    skin::LabelKind::kText);
  y += textHeight;

  if (!form_.columns.empty()) {
    y += S(10);
    HWND list = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
        S(kMargin96), y, textWidth, S(kListHeight96), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdTransferList)), nullptr, nullptr);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
    ListView_SetExtendedListViewStyle(
        list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | (form_.checkBoxes ? LVS_EX_CHECKBOXES : 0));
    int index = 0;
    for (const auto& [heading, width96] : form_.columns) {
      std::wstring h = W(heading);
      LVCOLUMNW col{};
      col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      col.pszText = h.data();
      col.cx = S(width96);
      col.iSubItem = index;
      SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
      ++index;
    }
    int row = 0;
    for (const TransferRow& r : form_.rows) {
      for (std::size_t c = 0; c < r.cells.size() && c < form_.columns.size(); ++c) {
        std::wstring cell = W(r.cells[c]);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = static_cast<int>(c);
        item.pszText = cell.data();
        SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : row,
                     reinterpret_cast<LPARAM>(&item));
      }
      if (form_.checkBoxes) ListView_SetCheckState(list, row, r.checked && r.checkable);
      ++row;
    }
    if (row > 0) ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED,
                                       LVIS_FOCUSED | LVIS_SELECTED);
    y += S(kListHeight96);
  }

  // The buttons at the bottom right, in tab order after the list.
  y += S(14);
  const int count = static_cast<int>(form_.buttons.size());
  int x = width - S(kMargin96) - count * S(kButtonWidth96) - (count - 1) * S(kButtonGap96);
  for (int i = 0; i < count; ++i) {
    skin_.CreateButton(hwnd_, kIdTransferButton1 + i, W(form_.buttons[static_cast<std::size_t>(i)]),
                       RECT{x, y, x + S(kButtonWidth96), y + S(kButtonHeight96)},
                       i == 0 ? skin::ButtonKind::kPrimary : skin::ButtonKind::kSecondary);
    x += S(kButtonWidth96 + kButtonGap96);
  }
}

void TransferDialog::ApplyDpi(win::Dpi dpi, const RECT* suggested) {
  const int old = skin_.Dpi();
  skin::ApplyWindowDpi(hwnd_, skin_, layout_, dpi, SIZE{width96_, height96_}, suggested);
  if (HWND list = GetDlgItem(hwnd_, kIdTransferList)) {
    for (int i = 0; i < static_cast<int>(form_.columns.size()); ++i)
      ListView_SetColumnWidth(list, i, MulDiv(ListView_GetColumnWidth(list, i), dpi.Value(), old));
  }
}

void TransferDialog::Finish(int result) {
  if (done_) return;
  HWND list = GetDlgItem(hwnd_, kIdTransferList);
  checked_.assign(form_.rows.size(), false);
  for (std::size_t i = 0; list && form_.checkBoxes && i < form_.rows.size(); ++i)
    checked_[i] = form_.rows[i].checkable && IsTicked(list, static_cast<int>(i));
  result_ = result;
  done_ = true;
  ShowWindow(hwnd_, SW_HIDE);
}

LRESULT TransferDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const win::PaintDc dc(hwnd_);
      if (dc) skin_.PaintWindow(hwnd_, dc.Get(), S(kBand96), 0);
      return 0;
    }
    case WM_DRAWITEM:
      if (skin_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_NCHITTEST: {
      const LRESULT hit = DefWindowProcW(hwnd_, msg, wp, lp);
      if (hit != HTCLIENT) return hit;
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &pt);
      return pt.y < S(kBand96) ? HTCAPTION : HTCLIENT;
    }
    case WM_DPICHANGED:  // moved to a monitor of another scale, or the scale changed
      ApplyDpi(win::Dpi(LOWORD(wp)), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->idFrom == kIdTransferList && header->code == LVN_ITEMCHANGING) {
        // A row that cannot be chosen keeps its box empty.
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
        const bool ticks = (change->uChanged & LVIF_STATE) &&
                           (change->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
        if (ticks && change->iItem >= 0 &&
            static_cast<std::size_t>(change->iItem) < form_.rows.size() &&
            !form_.rows[static_cast<std::size_t>(change->iItem)].checkable)
          return TRUE;
      }
      break;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id >= kIdTransferButton1 && id < kIdTransferButton1 + static_cast<int>(form_.buttons.size())) {
        if (HIWORD(wp) == BN_CLICKED) Finish(id - kIdTransferButton1);
      } else if (id == IDOK) {  // Enter: the focused button, the first one from the list
        const int focus = GetDlgCtrlID(GetFocus());
        const bool onButton = focus >= kIdTransferButton1 &&
                              focus < kIdTransferButton1 + static_cast<int>(form_.buttons.size());
        Finish(onButton ? focus - kIdTransferButton1 : 0);
      } else if (id == IDCANCEL) {  // Escape
        Finish(-1);
      }
      return 0;
    }
    case WM_ACTIVATE:
      // Coming back from another window, the keyboard is where it was.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ && IsChild(hwnd_, lastFocus_)) {
        SetFocus(lastFocus_);
      }
      return 0;
    case WM_CLOSE:
      Finish(-1);
      return 0;
    case WM_DESTROY:
      done_ = true;
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

// ---- the flows ------------------------------------------------------------------------------

namespace {

class TicksSuspended {
 public:
  explicit TicksSuspended(Engine& engine) : engine_(engine) { engine_.SuspendTicks(true); }
  ~TicksSuspended() { engine_.SuspendTicks(false); }
  TicksSuspended(const TicksSuspended&) = delete;
  TicksSuspended& operator=(const TicksSuspended&) = delete;

 private:
  Engine& engine_;
};

using FileDialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);

// The common dialog library is loaded when a file dialog is first needed.
FileDialogFn FileDialog(const char* name) {
  HMODULE lib = LoadLibraryW(L"comdlg32.dll");
  return lib ? reinterpret_cast<FileDialogFn>(reinterpret_cast<void*>(GetProcAddress(lib, name)))
             : nullptr;
}

std::wstring ChooseRegFile(HWND owner, bool save) {
  FileDialogFn fn = FileDialog(save ? "GetSaveFileNameW" : "GetOpenFileNameW");
  if (!fn) return {};
  std::vector<wchar_t> buffer(32768, L'\0');
  if (save) {
    const std::wstring initial = L"Orvalis-Tasks.reg";
    std::copy(initial.begin(), initial.end(), buffer.begin());
  }
  static const wchar_t kFilter[] =
      L"Registrierungsdateien (*.reg)\0*.reg\0Alle Dateien (*.*)\0*.*\0";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = save ? L"Tasks exportieren" : L"Tasks importieren";
  ofn.lpstrDefExt = L"reg";
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!fn(&ofn)) return {};
  return std::wstring(buffer.data());
}

bool WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                            nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

void ShowNote(HINSTANCE instance, HWND owner, const skin::Skin& skin, const std::string& title,
              const std::string& text, std::vector<TransferRow> rows = {}) {
  TransferForm form;
  form.title = title;
  form.text = text;
  if (!rows.empty()) form.columns = {{"Task", 170}, {"Ergebnis", 306}};
  form.rows = std::move(rows);
  form.buttons = {"OK"};
  TransferDialog(skin, form).Run(instance, owner);
}

std::string FileNameOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return U8(cut == std::wstring::npos ? path : path.substr(cut + 1));
}

// "name: reason" as the two cells of a result row.
TransferRow ResultRow(const std::string& entry, const std::string& prefix) {
  const std::size_t cut = entry.find(": ");
  if (cut == std::string::npos) return TransferRow{{entry, prefix}, false, false};
  return TransferRow{{entry.substr(0, cut), prefix + ": " + entry.substr(cut + 2)}, false, false};
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "Die Datei konnte nicht geöffnet werden.";
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (ok && size.QuadPart > static_cast<LONGLONG>(kMaxRegFileBytes)) {
    CloseHandle(file);
    error = "Die Datei ist größer als 16 MB; so große Dateien importiert Orvalis nicht.";
    return false;
  }
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD got = 0;
      ok = ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                    nullptr) != 0 && got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  if (!ok) {
    bytes.clear();
    error = "Die Datei konnte nicht gelesen werden.";
  }
  return ok;
}

void RunTaskExport(HINSTANCE instance, HWND owner, Engine& engine, const skin::Skin& skin) {
  TicksSuspended suspended(engine);
  const TaskList& list = engine.Tasks();
  if (list.Empty()) {
    ShowNote(instance, owner, skin, "Tasks exportieren", "Es sind keine Tasks gespeichert.");
    return;
  }
  TransferForm form;
  form.title = "Tasks exportieren";
  form.text = "Die angehakten Tasks werden in eine Registrierungsdatei geschrieben, die Orvalis "
              "auf einem anderen Computer importieren kann.";
  form.columns = {{"Task", 170}, {"Nächster Start", 170}, {"Art", 136}};
  form.checkBoxes = true;
  for (const TaskRow& row : list.Rows())
    form.rows.push_back(TransferRow{{row.name, row.next, row.kind}, true, true});
  form.buttons = {"&Speichern…", "&Abbrechen"};
  TransferDialog choose(skin, form);
  if (choose.Run(instance, owner) != 0) return;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < form.rows.size(); ++i)
    if (choose.Checked()[i]) names.push_back(form.rows[i].cells[0]);
  if (names.empty()) {
    ShowNote(instance, owner, skin, "Tasks exportieren", "Es wurde kein Task ausgewählt.");
    return;
  }
  const std::wstring path = ChooseRegFile(owner, true);
  if (path.empty()) return;

  ExportResult result;
  try {
    result = ExportTasks(engine, names);
  } catch (const RegFileError& e) {
    ShowNote(instance, owner, skin, "Tasks exportieren", e.what());
    return;
  }
  if (!WriteWholeFile(path, result.file)) {
    ShowNote(instance, owner, skin, "Tasks exportieren",
             "Die Datei \"" + U8(path) + "\" konnte nicht geschrieben werden.");
    return;
  }
  std::vector<TransferRow> rows;
  for (const std::string& name : result.exported)
    rows.push_back(TransferRow{{name, "exportiert"}, false, false});
  for (const std::string& entry : result.refused) rows.push_back(ResultRow(entry, "nicht exportiert"));
  ShowNote(instance, owner, skin, "Export abgeschlossen",
           Count(result.exported.size(), "Task wurde", "Tasks wurden") + " in \"" +
               FileNameOf(path) + "\" geschrieben" +
               (result.refused.empty() ? "." : ", " + Count(result.refused.size(), "Task", "Tasks") +
                                                   " nicht."),
           std::move(rows));
}

void RunTaskImport(HINSTANCE instance, HWND owner, Engine& engine, Files& files,
                   const skin::Skin& skin) {
  TicksSuspended suspended(engine);
  const std::wstring path = ChooseRegFile(owner, false);
  if (path.empty()) return;
  const std::string refusedTitle = "Import abgelehnt";
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) {
    ShowNote(instance, owner, skin, refusedTitle,
             "\"" + FileNameOf(path) + "\" wurde nicht importiert. " + error);
    return;
  }
  std::vector<ImportCandidate> candidates;
  try {
    candidates = ReadImportFile(engine, bytes.data(), bytes.size());
  } catch (const RegFileError& e) {
    ShowNote(instance, owner, skin, refusedTitle,
             "\"" + FileNameOf(path) + "\" wurde nicht importiert; nichts wurde geändert.\n" +
                 e.what());
    return;
  }

  TransferForm form;
  form.title = "Tasks importieren";
  form.text = "\"" + FileNameOf(path) + "\" enthält diese Tasks. Die angehakten werden importiert.";
  form.columns = {{"Task", 150}, {"Nächster Start", 150}, {"Hinweis", 176}};
  form.checkBoxes = true;
  for (const ImportCandidate& c : candidates) {
    const bool ok = c.refusal.empty();
    form.rows.push_back(TransferRow{
        {c.task.name, ok ? c.texts.next : std::string(), ok ? c.texts.kind : "Fehlerhaft: " + c.refusal},
        ok, ok});
  }
  form.buttons = {"&Importieren", "&Abbrechen"};
  TransferDialog choose(skin, form);
  if (choose.Run(instance, owner) != 0) return;
  std::vector<ImportCandidate> chosen;
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (choose.Checked()[i] || !candidates[i].refusal.empty()) chosen.push_back(candidates[i]);

  const ImportReport report = ImportTasks(engine, files, chosen, [&](const std::string& name) {
    TransferForm ask;
    ask.title = "Task bereits vorhanden";
    ask.text = "Es gibt bereits einen Task \"" + name +
               "\". Soll der importierte ihn ersetzen, unter einem freien Namen dazukommen oder "
               "übersprungen werden?";
    ask.buttons = {"&Ersetzen", "&Beide behalten", "&Überspringen"};
    ask.focusButton = 2;
    switch (TransferDialog(skin, ask).Run(instance, owner)) {
      case 0: return ClashAnswer::Replace;
      case 1: return ClashAnswer::KeepBoth;
      default: return ClashAnswer::Skip;
    }
  });
  std::vector<TransferRow> rows;
  for (const std::string& name : report.imported)
    rows.push_back(TransferRow{{name, "importiert"}, false, false});
  for (const std::string& entry : report.refused) rows.push_back(ResultRow(entry, "abgelehnt"));
  for (const std::string& name : report.skipped)
    rows.push_back(TransferRow{{name, "übersprungen"}, false, false});
  ShowNote(instance, owner, skin, "Import abgeschlossen",
           Count(report.imported.size(), "Task importiert", "Tasks importiert") + ", " +
               Count(report.refused.size(), "abgelehnt", "abgelehnt") + ", " +
               Count(report.skipped.size(), "übersprungen", "übersprungen") + ".",
           std::move(rows));
}

}  // namespace orv
