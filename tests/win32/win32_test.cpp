// The Win32 windows under Wine, driven by window messages: a search run
// fills the results list view with the rows the readers give, a dropped
// long Japanese path is added, and the layout file brings the windows back
// where they were.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/search.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"
#include "text/widepath.h"
#include "win32/forms.h"

namespace fs = std::filesystem;

namespace {

class Win32Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterForms(GetModuleHandleW(nullptr));
    Dir = fs::temp_directory_path() /
          PathOfUtf8("quillon-win32-図面-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Write(const std::u8string& Name, const std::vector<std::string>& Defs) {
    jwb::Drawing d(700);
    int32_t n = 1;
    for (const std::string& def : Defs) d.Def(n++, def).Line();
    const std::string path = Utf8OfPath(Dir / Name);
    jwb::WriteFile(path, d.JwwBytes());
    return path;
  }

  // Sends a drop of Paths as Explorer does.
  static void Drop(HWND Window, const std::vector<std::string>& Paths) {
    std::wstring names;
    for (const std::string& p : Paths) names += WideOfUtf8(p) + L'\0';
    names += L'\0';
    const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    SendMessageW(Window, WM_DROPFILES, reinterpret_cast<WPARAM>(g), 0);
  }

  static void Click(HWND Window, HWND Button) {
    SendMessageW(Window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(Button));
  }

  fs::path Dir;
};

TEST_F(Win32Forms, SearchFillsTheListViewWithTheReadersRows) {
  const std::string a = Write(u8"ドア.jww", {"D-1", "\x8C\xCB\x8A\xD6"});  // 玄関
  std::u8string longName;
  for (int i = 0; i < 100; ++i) longName += u8"長";
  longName += u8".jww";
  const std::string b = Write(longName, {"B"});
  TForm1 form;
  form.QuitOnClose = false;
  form.LayoutFile = Utf8OfPath(Dir / "layout.dat");
  form.FormShow(SW_SHOWNOACTIVATE);
  Drop(form.Handle, {a, b, Utf8OfPath(Dir)});  // the folder is skipped
  ASSERT_EQ(form.ListPaths(), (std::vector<std::string>{a, b}));

  std::vector<std::wstring> shown;
  form.Form2->OnShown = [&](TForm2& f) {
    for (int p = 0; p < f.DrawnRowCount(); ++p) shown.push_back(f.DrawnText(p, 2));
    f.Close();
  };
  Click(form.Handle, form.Button3);
  std::vector<std::wstring> expected;
  TJwwData jww;
  TJwsData jws;
  for (const std::string& path : {a, b}) {
    for (const std::string& name : ReadFileBlocks(path, jww, jws).Names)
      expected.push_back(WideOfUtf8(Cp932ToUtf8(name)));
  }
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(form.Form2->DrawnText(0, 1), WideOfUtf8(a));

  // The filter narrows what the list view draws.
  form.Form2->SetFilter(L"d-1");
  EXPECT_EQ(form.Form2->DrawnRowCount(), 1);
  form.Close();
}

TEST_F(Win32Forms, LayoutBringsTheWindowsBackWhereTheyWere) {
  const std::string layout = Utf8OfPath(Dir / "layout.dat");
  RECT moved{};
  {
    TForm1 form;
    form.QuitOnClose = false;
    form.LayoutFile = layout;
    form.FormShow(SW_SHOWNOACTIVATE);
    SetWindowPos(form.Handle, nullptr, 260, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(form.Handle, &moved);
    form.Form2->SetColWidth(1, 150);
    form.Close();
  }
  TForm1 again;
  again.QuitOnClose = false;
  again.LayoutFile = layout;
  again.FormShow(SW_SHOWNOACTIVATE);
  RECT back{};
  GetWindowRect(again.Handle, &back);
  EXPECT_EQ(back.left, moved.left);
  EXPECT_EQ(back.top, moved.top);
  EXPECT_EQ(again.Form2->ColWidth(1), 150);
  again.Close();
}

}  // namespace
