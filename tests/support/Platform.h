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

// A sanitizer's shadow memory does not fit under a memory limit.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif
