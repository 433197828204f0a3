// Functions of the host's shared library (its own DLL on Windows). They are plain functions, not
// services, because they must work before and after the service model does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/records.h"
#include "zorb/string.h"

#if defined(_WIN32) && defined(VELMORA_SHARED_EXPORTS)
#define VELMORA_SHARED_API __declspec(dllexport)
#elif defined(_WIN32)
#define VELMORA_SHARED_API __declspec(dllimport)
#else
#define VELMORA_SHARED_API
#endif

// Fatal stop for a programming error that ordinary input cannot reach: reports `what` and ends
// the process. Never returns; any thread.
extern "C" [[noreturn]] VELMORA_SHARED_API void uBugCheck(const char* what);

// Compares two UTF-8 texts without regard to case: negative, zero or positive like strcmp.
// Letters fold to lower case in the Latin, Greek and Cyrillic alphabets; bytes that are not valid
// UTF-8 compare by their value. Any thread.
extern "C" VELMORA_SHARED_API int stricmp_utf8(const char* a, const char* b);

namespace audio_math {

// Converts `count` signed 16-bit samples to float: each becomes sample / 32768 * scale, so that
// full-scale 16-bit maps to full-scale float at scale 1. Any thread.
VELMORA_SHARED_API void convert_from_int16(const int16_t* source, size_t count, float* target, float scale);

// destination[i] = source[i] × factor for `count` samples; source and destination may be the
// same block. No clipping: results beyond ±1.0 stay as they are. Any thread.
VELMORA_SHARED_API void scale(const audio_sample* source, size_t count, audio_sample* destination, audio_sample factor);

// The largest absolute value of `count` samples; 0 for none. NaN samples are passed over. Any thread.
VELMORA_SHARED_API audio_sample calculate_peak(const audio_sample* samples, size_t count);

}  // namespace audio_math

// Marks a call for crash reports while it lasts: the host's fatal stops (uBugCheck) name the calls
// that the failing thread was in, innermost last. `name` must outlive the object (a literal).
// The calls of each thread are their own; nesting deeper than 32 keeps the outer 32.
class VELMORA_SHARED_API uCallStackTracker {
public:
    explicit uCallStackTracker(const char* name);
    ~uCallStackTracker();
    uCallStackTracker(const uCallStackTracker&) = delete;
    uCallStackTracker& operator=(const uCallStackTracker&) = delete;
};
// The calls marked on the calling thread, outermost first, one per line.
VELMORA_SHARED_API void uCallStackTracker_describe(zorb::string_base& out);

// Asks the person for a folder with the system's folder picker, owned by `parent` (an HWND, may be
// null) and headed `title`: true with the folder's path (UTF-8) in `out`, or false when the
// picker was cancelled. Counts as a modal dialog for the guard below. On the user-interface thread.
VELMORA_SHARED_API bool uBrowseForFolder(void* parent, const char* title, zorb::string_base& out);

// The host's own answer to uBrowseForFolder, for sessions that show no picker: the hook returns 1
// with the folder in `out`, 0 for a cancelled picker, or -1 to show the system's picker after all.
// A null hook (the start) shows the picker. Set by the host on its user-interface thread.
using uBrowseForFolder_hook_t = int (*)(void* context, void* parent, const char* title, zorb::string_base& out);
VELMORA_SHARED_API void uBrowseForFolder_set_hook(uBrowseForFolder_hook_t hook, void* context);

// Dialog text in UTF-8; UTF-16 only at the Windows call. `dialog` is an HWND. On the dialog's thread.
// Sets the text of the control `id`; false when there is no such control.
VELMORA_SHARED_API bool uSetDlgItemText(void* dialog, int id, const char* text);
// The text of the control `id`; false, and `out` emptied, when there is no such control.
VELMORA_SHARED_API bool uGetDlgItemText(void* dialog, int id, zorb::string_base& out);

// The modal dialog guard: one modal dialog of the host or a component at a time. On the host's
// user-interface thread.
// True when no modal dialog is open, so that a new one may be.
extern "C" VELMORA_SHARED_API bool ModalDialog_CanCreateNew();
// Brings the open modal dialog to the front; nothing when none is open.
extern "C" VELMORA_SHARED_API void ModalDialog_PokeExisting();
// Marks a modal dialog as opening (true) or closed (false), for dialogs the host cannot see
// itself, such as the system's folder picker. Calls pair up; they may nest.
extern "C" VELMORA_SHARED_API void ModalDialog_Switch(bool entering);
