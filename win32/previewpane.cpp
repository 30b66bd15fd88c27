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

LRESULT TPreviewPane::OnMessage(UINT Message, WPARAM Wp, LPARAM Lp) {
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

namespace {

// The GDI calls behind a preview.
class TGdiPainter : public TPreviewPainter {
 public:
  TGdiPainter(HDC Dc, const RECT& Area, HFONT Font) : Dc(Dc), Area(Area), Font(Font), Pens(Dc) {
    LOGFONTW lf{};
    GetObjectW(Font, sizeof lf, &lf);
    lf.lfHeight = -PreviewTextPixels;
    lf.lfWidth = 0;
    Big = CreateFontIndirectW(&lf);
  }
  ~TGdiPainter() override { DeleteObject(Big); }

  void Solid(const TVec2 (&Corners)[4], uint32_t Color) override {
    POINT corners[4];
    std::transform(std::begin(Corners), std::end(Corners), corners, Px);
    HBRUSH brush = CreateSolidBrush(Gdi(Color));
    HGDIOBJ oldBrush = SelectObject(Dc, brush);
    HGDIOBJ oldPen = SelectObject(Dc, GetStockObject(NULL_PEN));
    Polygon(Dc, corners, 4);
    SelectObject(Dc, oldPen);
    SelectObject(Dc, oldBrush);
    DeleteObject(brush);
  }
  void Line(TVec2 A, TVec2 B, uint32_t Color) override {
    Pens.Use(Color);
    const POINT a = Px(A), b = Px(B);
    MoveToEx(Dc, a.x, a.y, nullptr);
    LineTo(Dc, b.x, b.y);
    SetPixel(Dc, b.x, b.y, Gdi(Color));  // LineTo leaves the last pixel out
  }
  void Polyline(const std::vector<TVec2>& Points, uint32_t Color) override {
    PolylinePoints.resize(Points.size());
    std::transform(Points.begin(), Points.end(), PolylinePoints.begin(), Px);
    Pens.Use(Color);
    ::Polyline(Dc, PolylinePoints.data(), static_cast<int>(PolylinePoints.size()));
  }
  void Dot(TVec2 P, uint32_t Color) override {
    const POINT at = Px(P);
    const RECT dot{at.x - 1, at.y - 1, at.x + 2, at.y + 2};
    HBRUSH brush = CreateSolidBrush(Gdi(Color));
    FillRect(Dc, &dot, brush);
    DeleteObject(brush);
  }
  double TextWidth(const std::string& Utf8) override {
    const std::wstring text = WideOfUtf8(Utf8);
    HGDIOBJ old = SelectObject(Dc, Big);
    SIZE natural{};
    GetTextExtentPoint32W(Dc, text.c_str(), static_cast<int>(text.size()), &natural);
    SelectObject(Dc, old);
    return natural.cx;
  }
  void Text(const std::string& Utf8, const TTextMap& M, uint32_t Color) override {
    const std::wstring text = WideOfUtf8(Utf8);
    HGDIOBJ old = SelectObject(Dc, Big);
    SetTextAlign(Dc, TA_BASELINE | TA_LEFT);
    SetGraphicsMode(Dc, GM_ADVANCED);
    const XFORM frame{static_cast<FLOAT>(M.M11), static_cast<FLOAT>(M.M12),
                      static_cast<FLOAT>(M.M21), static_cast<FLOAT>(M.M22),
                      static_cast<FLOAT>(M.Dx),  static_cast<FLOAT>(M.Dy)};
    SetWorldTransform(Dc, &frame);
    SetTextColor(Dc, Gdi(Color));
    TextOutW(Dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    const XFORM identity{1, 0, 0, 1, 0, 0};
    SetWorldTransform(Dc, &identity);
    SetTextAlign(Dc, TA_LEFT | TA_TOP);
    SelectObject(Dc, old);
  }
  void Note(const std::string& Utf8, TNote Kind) override {
    const std::wstring text = WideOfUtf8(Utf8);
    HGDIOBJ old = SelectObject(Dc, Font);
    RECT r = Area;
    if (Kind == TNote::EmptyDrawing) {
      SetTextColor(Dc, RGB(0x80, 0x80, 0x80));
      DrawTextW(Dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
      SetTextColor(Dc, RGB(0x8B, 0, 0));
      InflateRect(&r, -4, -4);
      DrawTextW(Dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
    }
    SelectObject(Dc, old);
  }

 private:
  HDC Dc;
  RECT Area;
  HFONT Font;
  HFONT Big = nullptr;
  TPens Pens;
  std::vector<POINT> PolylinePoints;
};

}  // namespace

void PaintDisplayList(HDC Dc, const TDisplayList& List, const RECT& Area, HFONT Font) {
  const int saved = SaveDC(Dc);
  IntersectClipRect(Dc, Area.left, Area.top, Area.right, Area.bottom);
  SetBkMode(Dc, TRANSPARENT);
  {
    TGdiPainter painter(Dc, Area, Font);
    PaintPreview(List, Area.left, Area.top, Area.right - Area.left, Area.bottom - Area.top,
                 painter);
  }
  RestoreDC(Dc, saved);
}
