#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "sections/SectionFile.h"

// The sections of `file`, loaded as the program loads them; the caller releases them.
inline SectionList sectionsOf(const char* file) {
    struct Source {
        const char* rest;
    } source{file};
    auto read = [](void* context, char* buffer, std::size_t capacity, std::size_t& got, Cause&) {
        auto* s = static_cast<Source*>(context);
        got = std::min(capacity, std::strlen(s->rest));
        std::memcpy(buffer, s->rest, got);
        s->rest += got;
        return true;
    };
    SectionList list;
    Cause why;
    EXPECT_TRUE(loadSections(ByteSource{read, &source}, list, why));
    return list;
}
