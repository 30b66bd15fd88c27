// Hands a window's messages to the object it was created for.
#pragma once

#include <windows.h>

// The creation parameter of the window is the object; once the object knows
// its handle, every message goes to its OnMessage.
template <class Form>
LRESULT Dispatch(HWND Window, UINT Message, WPARAM Wp, LPARAM Lp) {
  if (Message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(Lp);
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (self && self->Handle == Window) return self->OnMessage(Message, Wp, Lp);
  return DefWindowProcW(Window, Message, Wp, Lp);
}
