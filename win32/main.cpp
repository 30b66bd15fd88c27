// quillon.exe: the main window, with the files named on the command line in
// its list.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "text/widepath.h"
#include "win32/mainwindow.h"

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int ShowCommand) {
  RegisterForms(Instance);
  TForm1 form;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i < argc; ++i) form.InitialFiles.push_back(Utf8OfWide(argv[i]));
  if (argv) LocalFree(argv);
  form.FormShow(ShowCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_KEYDOWN && msg.wParam == 'D' && (GetKeyState(VK_CONTROL) & 0x8000)) {
      form.FolderButtonClick();
      continue;
    }
    if (!IsDialogMessageW(form.Handle, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return 0;
}
