#pragma once

// What differs between the platforms the tests run on, in one place.
#ifdef _WIN32
// Permission bits, symbolic links, signals and resource limits are POSIX matters.
inline constexpr bool kPosix = false;
#else
inline constexpr bool kPosix = true;
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
