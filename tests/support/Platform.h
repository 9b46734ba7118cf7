#pragma once

// What differs between the platforms the tests run on, in one place.
#ifdef _WIN32
// Permission bits, symbolic links and resource limits are POSIX matters.
inline constexpr bool kPosix = false;
// The C runtime refuses to open a folder as a file outright.
inline constexpr const char* kFolderAsFileError = "Permission denied";
#else
inline constexpr bool kPosix = true;
inline constexpr const char* kFolderAsFileError = "Is a directory";
#endif
