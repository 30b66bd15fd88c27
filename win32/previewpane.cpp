#include "win32/previewpane.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "text/widepath.h"
#include "win32/dispatch.h"

namespace {

const wchar_t* const PaneClass = L"QuillonPreview";

COLORREF Gdi(uint32_t Rgb) {
  return RGB((Rgb >> 16) & 0xFF, (Rgb >> 8) & 0xFF, Rgb & 0xFF);
}

POINT Px(TVec2 P) {
  auto clamp = [](double V) {
    return std::isfinite(V) ? static_cast<LONG>(std::clamp(V, -1e6, 1e6)) : 0;
  };
  return {clamp(P.X), clamp(P.Y)};
}

// Font size at which texts are laid out before their frame scales them.
constexpr int TextPixels = 64;
// Texts smaller than this on screen are drawn as their baseline.
constexpr double LegibleHeight = 4;

// One pen per colour, made when first needed.
class TPens {
 public:
  explicit TPens(HDC Dc) : Dc(Dc), Original(SelectObject(Dc, GetStockObject(BLACK_PEN))) {}
  ~TPens() {
    SelectObject(Dc, Original);
    for (auto& p : Made) DeleteObject(p.second);
  }
  void Use(uint32_t Rgb) {
    if (Current && Rgb == CurrentRgb) return;
    auto it = std::find_if(Made.begin(), Made.end(), [&](auto& p) { return p.first == Rgb; });
    if (it == Made.end()) {
      Made.emplace_back(Rgb, CreatePen(PS_SOLID, 1, Gdi(Rgb)));
      it = Made.end() - 1;
    }
    SelectObject(Dc, it->second);
    Current = true;
    CurrentRgb = Rgb;
  }

 private:
  HDC Dc;
  HGDIOBJ Original;
  std::vector<std::pair<uint32_t, HPEN>> Made;
  bool Current = false;
  uint32_t CurrentRgb = 0;
};

}  // namespace

void RegisterPreviewPane(HINSTANCE Instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = Instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;  // everything is painted from the bitmap
  wc.lpszClassName = PaneClass;
  wc.lpfnWndProc = TPreviewPane::Proc;
  RegisterClassExW(&wc);
}

TPreviewPane::TPreviewPane(HWND Parent, HFONT Font) : Font(Font) {
  Handle = CreateWindowExW(WS_EX_CLIENTEDGE, PaneClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                           Parent, nullptr, GetModuleHandleW(nullptr), this);
}

TPreviewPane::~TPreviewPane() {
  if (Handle) DestroyWindow(Handle);
}

LRESULT CALLBACK TPreviewPane::Proc(HWND Window, UINT Message, WPARAM Wp, LPARAM Lp) {
  return Dispatch<TPreviewPane>(Window, Message, Wp, Lp);
}

void TPreviewPane::ShowList(std::shared_ptr<const TDisplayList> List) {
  Shown = std::move(List);
  Text.clear();
  InvalidateRect(Handle, nullptr, FALSE);
}

void TPreviewPane::ShowMessage(const std::wstring& Message) {
  Shown.reset();
  Text = Message;
  InvalidateRect(Handle, nullptr, FALSE);
}

LRESULT TPreviewPane::Handle_(UINT Message, WPARAM Wp, LPARAM Lp) {
  switch (Message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      Font = reinterpret_cast<HFONT>(Wp);
      return 0;
    case WM_SIZE:
      InvalidateRect(Handle, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle, &ps);
      RECT area{};
      GetClientRect(Handle, &area);
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap =
          CreateCompatibleBitmap(dc, std::max<LONG>(area.right, 1), std::max<LONG>(area.bottom, 1));
      HGDIOBJ old = SelectObject(memory, bitmap);
      FillRect(memory, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      if (Shown) {
        PaintDisplayList(memory, *Shown, area, Font);
      } else if (!Text.empty()) {
        HGDIOBJ oldFont = SelectObject(memory, Font);
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, RGB(0x80, 0x80, 0x80));
        RECT inner = area;
        InflateRect(&inner, -4, -4);
        DrawTextW(memory, Text.c_str(), static_cast<int>(Text.size()), &inner,
                  DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(memory, oldFont);
      }
      BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(Handle, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(Handle, Message, Wp, Lp);
}

void PaintDisplayList(HDC Dc, const TDisplayList& List, const RECT& Area, HFONT Font) {
  const int saved = SaveDC(Dc);
  IntersectClipRect(Dc, Area.left, Area.top, Area.right, Area.bottom);
  SetBkMode(Dc, TRANSPARENT);
  if (List.EmptyDrawing()) {
    SelectObject(Dc, Font);
    SetTextColor(Dc, RGB(0x80, 0x80, 0x80));
    const std::wstring empty = WideOfUtf8(EmptyDrawingText);
    RECT r = Area;
    DrawTextW(Dc, empty.c_str(), static_cast<int>(empty.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(Dc, saved);
    return;
  }
  TViewFit fit =
      FitToPane(List.Bounds, Area.right - Area.left, Area.bottom - Area.top, PreviewMargin);
  fit.OffsetX += Area.left;
  fit.OffsetY += Area.top;

  SelectObject(Dc, GetStockObject(NULL_PEN));
  for (const TDrawnSolid& s : List.Solids) {
    POINT corners[4];
    for (size_t i = 0; i < 4; ++i) corners[i] = Px(fit.Map(s.Corner[i]));
    HBRUSH brush = CreateSolidBrush(Gdi(s.Color));
    HGDIOBJ old = SelectObject(Dc, brush);
    Polygon(Dc, corners, 4);
    SelectObject(Dc, old);
    DeleteObject(brush);
  }
  {
    TPens pens(Dc);
    for (const TDrawnLine& l : List.Lines) {
      pens.Use(l.Color);
      const POINT a = Px(fit.Map(l.A)), b = Px(fit.Map(l.B));
      MoveToEx(Dc, a.x, a.y, nullptr);
      LineTo(Dc, b.x, b.y);
      SetPixel(Dc, b.x, b.y, Gdi(l.Color));  // LineTo leaves the last pixel out
    }
    std::vector<TVec2> points;
    std::vector<POINT> polyline;
    TArcFlattener arcs(fit, Area.right - Area.left, Area.bottom - Area.top);
    for (const TDrawnArc& a : List.Arcs) {
      points.clear();
      arcs.Flatten(a, points);
      polyline.resize(points.size());
      std::transform(points.begin(), points.end(), polyline.begin(), Px);
      pens.Use(a.Color);
      Polyline(Dc, polyline.data(), static_cast<int>(polyline.size()));
    }
    for (const TDrawnPoint& p : List.Points) {
      const POINT at = Px(fit.Map(p.P));
      const RECT dot{at.x - 1, at.y - 1, at.x + 2, at.y + 2};
      HBRUSH brush = CreateSolidBrush(Gdi(p.Color));
      FillRect(Dc, &dot, brush);
      DeleteObject(brush);
    }
    // Texts too small to read are drawn as their baseline.
    for (const TDrawnText& t : List.Texts) {
      const TTextFrame f = TextFrameOf(t, fit);
      if (t.Text.empty() || !(f.PixelHeight > 0) || f.PixelHeight >= LegibleHeight) continue;
      pens.Use(t.Color);
      const POINT a = Px(f.Origin);
      const POINT b = Px(fit.Map({t.Origin.X + t.Advance.X, t.Origin.Y + t.Advance.Y}));
      MoveToEx(Dc, a.x, a.y, nullptr);
      LineTo(Dc, b.x, b.y);
    }
  }

  LOGFONTW lf{};
  GetObjectW(Font, sizeof lf, &lf);
  lf.lfHeight = -TextPixels;
  lf.lfWidth = 0;
  HFONT big = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = SelectObject(Dc, big);
  SetTextAlign(Dc, TA_BASELINE | TA_LEFT);
  SetGraphicsMode(Dc, GM_ADVANCED);
  XFORM identity{1, 0, 0, 1, 0, 0};
  for (const TDrawnText& t : List.Texts) {
    const TTextFrame f = TextFrameOf(t, fit);
    if (t.Text.empty() || !(f.PixelHeight >= LegibleHeight)) continue;
    const std::wstring text = WideOfUtf8(t.Text);
    SIZE natural{};
    GetTextExtentPoint32W(Dc, text.c_str(), static_cast<int>(text.size()), &natural);
    const double stretch =
        f.Length > 0 && natural.cx > 0 ? f.Length * TextPixels / natural.cx : 1.0;
    const XFORM frame{static_cast<FLOAT>(f.XAxis.X * stretch / TextPixels),
                      static_cast<FLOAT>(f.XAxis.Y * stretch / TextPixels),
                      static_cast<FLOAT>(f.YAxis.X / TextPixels),
                      static_cast<FLOAT>(f.YAxis.Y / TextPixels),
                      static_cast<FLOAT>(f.Origin.X),
                      static_cast<FLOAT>(f.Origin.Y)};
    SetWorldTransform(Dc, &frame);
    SetTextColor(Dc, Gdi(t.Color));
    TextOutW(Dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    SetWorldTransform(Dc, &identity);
  }
  SelectObject(Dc, oldFont);
  DeleteObject(big);

  if (List.CutShort) {
    SelectObject(Dc, Font);
    SetTextAlign(Dc, TA_LEFT | TA_TOP);
    SetTextColor(Dc, RGB(0x8B, 0, 0));
    RECT r = Area;
    InflateRect(&r, -4, -4);
    DrawTextW(Dc, WideOfUtf8(CutShortText).c_str(), -1, &r, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
  }
  RestoreDC(Dc, saved);
}
