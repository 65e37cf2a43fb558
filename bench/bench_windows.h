// What the bench driver and its two comparison programs agree on: window
// classes, captions and the messages that drive the bare log box.
#pragma once

#include <windows.h>

namespace kvbench {

constexpr wchar_t kMinimalClass[] = L"KvBenchMinimal";
constexpr wchar_t kMinimalCaption[] = L"Kestravo bench: minimal window";
constexpr wchar_t kBareEditClass[] = L"KvBenchBareEdit";
constexpr wchar_t kBareEditCaption[] = L"Kestravo bench: bare edit";

// Posted to the bare edit window: append the line "%08X\r\n" of wParam.
constexpr UINT kAppendMessage = WM_APP + 1;
// Sent to the bare edit window: the summed time of its appends so far in
// microseconds, and their number.
constexpr UINT kAppendMicrosMessage = WM_APP + 2;
constexpr UINT kAppendCountMessage = WM_APP + 3;

}  // namespace kvbench
