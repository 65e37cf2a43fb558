// What the bench driver and its two comparison programs agree on: window
// classes, captions and the messages that drive the bare log box.
#pragma once

#include <windows.h>

namespace kvbench {

constexpr wchar_t kMinimalClass[] = L"KvBenchMinimal";
constexpr wchar_t kMinimalCaption[] = L"Kestravo bench: minimal window";
constexpr wchar_t kBareEditClass[] = L"KvBenchBareEdit";
constexpr wchar_t kBareEditCaption[] = L"Kestravo bench: bare edit";

// Sent to the bare edit window after a feed: the median time of one more
// insertion of the fed text's longest line, in microseconds (-1 if none).
constexpr UINT kLineMicrosMessage = WM_APP + 1;

// Sent in a WM_COPYDATA tagged kFeedRequestTag: feed the UTF-16 text in the
// file into a fresh box in pieces of `chunk` characters (0: line by line).
// The reply is the feed's time in microseconds, or -1.
constexpr ULONG_PTR kFeedRequestTag = 0x4B564645;
struct FeedRequest {
  unsigned chunk;
  wchar_t path[MAX_PATH];
};

}  // namespace kvbench
