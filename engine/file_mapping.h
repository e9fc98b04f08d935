// A read-only view of the whole file being loaded, for a front end that searches a file once
// and ends: the loaded chunks point into it instead of holding a copy, so the first search
// reads each byte once, straight from the system's cache. Each search context that loads this
// way has a view of its own; up to kLoadFileViews exist at a time.
//
// Another process may cut the file short, or the disk may fail, while the view is in use. A
// page of the view that can no longer be read then reads as blanks instead of ending the
// process, as bytes that vanish during an ordinary load do (also when the file has grown back
// by the time the fault is handled), and only a page whose bytes exist yet cannot be read
// counts as a failed read.
#pragma once

#include <cstdint>

namespace tarsel {

inline constexpr int kLoadFileViews = 64;

// Maps size bytes of the open file fd (size > 0) from offset on as a new view. Returns the
// view's first byte (the byte at offset), or nullptr when the system refuses or kLoadFileViews
// are in use (the caller then reads the file).
const char* MapLoadFile(int fd, std::uint64_t size, std::uint64_t offset = 0);
// Ends the view that MapLoadFile returned (nothing for null). Chunks that point into it must be
// forgotten first.
void UnmapLoadFile(const char* view);
// Whether p lies inside a view.
bool InLoadFileView(const char* p);
// True once a page of the view failed to read although its bytes exist in the file.
bool LoadFileViewFailed(const char* view);
// Fault injection: hook runs in the fault handler before the failed page is examined, so that a
// test can change the file at the worst moment (null: none).
void SetViewFaultHookForTesting(void (*hook)());
// Whether the view's file seems to be in the system's cache, from a few pages spread over it:
// a file that is not is better read in order, as one stream from the disk.
bool LoadFileViewCached(const char* view);

}  // namespace tarsel
