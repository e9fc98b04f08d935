// A read-only view of the whole file being loaded, for a front end that searches a file once
// and ends: the loaded chunks point into it instead of holding a copy, so the first search
// reads each byte once, straight from the system's cache. One view exists at a time.
//
// Another process may cut the file short, or the disk may fail, while the view is in use. A
// page of the view that can no longer be read then reads as blanks instead of ending the
// process, as bytes that vanish during an ordinary load do (also when the file has grown back
// by the time the fault is handled), and only a page whose bytes exist yet cannot be read
// counts as a failed read.
#pragma once

#include <cstdint>

namespace tarsel {

// Maps size bytes of the open file fd (size > 0) in place of the previous view. Returns the
// view's first byte, or nullptr when the system refuses (the caller then reads the file).
const char* MapLoadFile(int fd, std::uint64_t size);
// Ends the current view, if any. Chunks that point into it must be forgotten first.
void UnmapLoadFile();
// Whether p lies inside the current view.
bool InLoadFileView(const char* p);
// True once a page of the current view failed to read although its bytes exist in the file.
bool LoadFileViewFailed();
// Fault injection: hook runs in the fault handler before the failed page is examined, so that a
// test can change the file at the worst moment (null: none).
void SetViewFaultHookForTesting(void (*hook)());
// Whether the current view's file seems to be in the system's cache, from a few pages spread
// over it: a file that is not is better read in order, as one stream from the disk.
bool LoadFileViewCached();

}  // namespace tarsel
