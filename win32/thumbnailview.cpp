#include "win32/thumbnailview.h"

#include "text/widepath.h"
#include "win32/controls.h"
#include "win32/previewpane.h"

namespace {

constexpr int CellPadding = 4;

}  // namespace

TThumbnailView::TThumbnailView(HWND Owner, int Id, TResultsModel& Results, HFONT Font)
    : Owner(Owner), Results(Results), Font(Font) {
  Handle = MakeChild(WC_LISTVIEWW, L"",
                     WS_CHILD | WS_TABSTOP | WS_BORDER | LVS_ICON | LVS_OWNERDATA |
                         LVS_SHOWSELALWAYS | LVS_AUTOARRANGE,
                     Owner, Id, Font);
  ListView_SetExtendedListViewStyle(Handle, LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
  SizeChanged();
}

TThumbnailView::~TThumbnailView() {
  if (Images) ImageList_Destroy(Images);
}

void TThumbnailView::SizeChanged() {
  // The cells' size comes from the image list's; nothing is drawn from it.
  const int side = Scaled(Owner, Results.ThumbnailPlace().Size);
  HIMAGELIST images = ImageList_Create(side, side, ILC_COLOR32, 1, 1);
  ListView_SetImageList(Handle, images, LVSIL_NORMAL);
  if (Images) ImageList_Destroy(Images);
  Images = images;
  TEXTMETRICW metrics{};
  HDC dc = GetDC(Handle);
  HGDIOBJ old = SelectObject(dc, Font);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(Handle, dc);
  const int pad = Scaled(Owner, CellPadding);
  ListView_SetIconSpacing(Handle, side + 3 * pad, side + metrics.tmHeight + 4 * pad);
  ListView_Arrange(Handle, LVA_DEFAULT);
  InvalidateRect(Handle, nullptr, TRUE);
}

void TThumbnailView::RowsChanged() {
  Setting = true;
  ListView_SetItemCountEx(Handle, Results.ShownCount(), LVSICF_NOSCROLL);
  Setting = false;
  ShowCurrent();
  InvalidateRect(Handle, nullptr, TRUE);
}

void TThumbnailView::ShowCurrent() {
  Setting = true;
  SelectOnly(Handle, Results.CurrentPosition());
  Setting = false;
}

// The files of the cells on screen are read first.
void TThumbnailView::AskForVisible() {
  const int count = Results.ShownCount();
  if (count == 0) return;
  const int first = ListView_GetTopIndex(Handle);
  Results.ThumbnailsOnScreen(first, std::min(count - 1, first + ListView_GetCountPerPage(Handle)));
}

bool TThumbnailView::OnNotify(const NMHDR& Header, LRESULT& Result) {
  if (Header.hwndFrom != Handle) return false;
  Result = 0;
  switch (Header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(Header));
      if (info.item.mask & LVIF_TEXT) {
        CellText = W(Results.ShownText(info.item.iItem, BlockNameCol));
        info.item.pszText = const_cast<wchar_t*>(CellText.c_str());
      }
      if (info.item.mask & LVIF_IMAGE) info.item.iImage = -1;
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(Header);
      if (!Setting && change.iItem >= 0 && (change.uNewState & LVIS_FOCUSED))
        Results.SetCurrentPosition(change.iItem);
      return true;
    }
    case NM_CUSTOMDRAW:
      Result =
          DrawCell(const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(Header)));
      return true;
    case LVN_GETINFOTIPW: {
      auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(Header));
      const std::wstring text = W(Results.ThumbnailTip(tip.iItem));
      lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
      return true;
    }
    default:
      return false;
  }
}

LRESULT TThumbnailView::DrawCell(NMLVCUSTOMDRAW& Draw) {
  switch (Draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_POSTPAINT:
      AskForVisible();
      return CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
      break;
    default:
      return CDRF_DODEFAULT;
  }
  const int position = static_cast<int>(Draw.nmcd.dwItemSpec);
  if (position < 0 || position >= Results.ShownCount()) return CDRF_DODEFAULT;
  HDC dc = Draw.nmcd.hdc;
  RECT cell{};
  ListView_GetItemRect(Handle, position, &cell, LVIR_BOUNDS);
  const bool selected = ListView_GetItemState(Handle, position, LVIS_SELECTED) & LVIS_SELECTED;
  const bool focused = ListView_GetItemState(Handle, position, LVIS_FOCUSED) & LVIS_FOCUSED;
  FillRect(dc, &cell, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int side = Scaled(Owner, Results.ThumbnailPlace().Size), pad = Scaled(Owner, CellPadding);
  RECT square{cell.left + (cell.right - cell.left - side) / 2, cell.top + pad, 0, 0};
  square.right = square.left + side;
  square.bottom = square.top + side;
  FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HBRUSH frame = CreateSolidBrush(RGB(0xC0, 0xC0, 0xC0));
  FrameRect(dc, &square, frame);
  DeleteObject(frame);
  if (const std::string* compact = Results.ThumbnailAt(position)) {
    if (const std::optional<TDisplayList> list = ExpandThumbnail(*compact)) {
      const int saved = SaveDC(dc);
      IntersectClipRect(dc, square.left, square.top, square.right, square.bottom);
      PaintDisplayList(dc, *list, square, Font);
      RestoreDC(dc, saved);
    }
  }
  if (Results.ProblemAt(position)) {
    const int mark = Scaled(Owner, 16);
    DrawIconEx(dc, square.left + 2, square.top + 2, LoadIconW(nullptr, IDI_WARNING), mark, mark, 0,
               nullptr, DI_NORMAL);
  }
  RECT text{cell.left + pad, square.bottom + pad, cell.right - pad, cell.bottom};
  std::wstring name = W(Results.ShownText(position, BlockNameCol));
  HGDIOBJ old = SelectObject(dc, Font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  DrawTextW(dc, name.data(), static_cast<int>(name.size()), &text,
            DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  SelectObject(dc, old);
  if (focused) DrawFocusRect(dc, &cell);
  return CDRF_SKIPDEFAULT;
}
