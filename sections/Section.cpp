#include "sections/Section.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

bool isUtf16(FileEncoding encoding) {
    return encoding == FileEncoding::utf16LittleEndian || encoding == FileEncoding::utf16BigEndian;
}

ByteOrder byteOrderOf(FileEncoding encoding) {
    return encoding == FileEncoding::utf16BigEndian ? ByteOrder::bigEndian
                                                    : ByteOrder::littleEndian;
}

namespace {

// The block header is a multiple of a Section's alignment, so its bytes start aligned.
static_assert(sizeof(SectionBlock) % alignof(Section) == 0, "blocks keep sections aligned");

SectionBlock* allocateBlock(std::size_t size) {
    if (size > SIZE_MAX - sizeof(SectionBlock)) {
        throw std::bad_alloc();
    }
    void* memory = std::malloc(sizeof(SectionBlock) + size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<SectionBlock*>(memory);
}

// Frees the blocks, and with them every section: their Texts own nothing (Section).
void freeAll(SectionList& list) {
    while (list.blocks != nullptr) {
        SectionBlock* previous = list.blocks->previous;
        std::free(list.blocks);
        list.blocks = previous;
    }
    list.head = nullptr;
    list.tail = nullptr;
}

}  // namespace

SectionBlock* addSectionBlock(SectionList& list, std::size_t size) {
    SectionBlock* block = allocateBlock(size);
    block->previous = list.blocks;
    block->size = size;
    list.blocks = block;
    return block;
}

SectionBlock* resizeSectionBlock(SectionList& list, SectionBlock* block, std::size_t size) {
    if (size > SIZE_MAX - sizeof(SectionBlock)) {
        throw std::bad_alloc();
    }
    SectionBlock** link = &list.blocks;  // a list has a few dozen blocks at most
    while (*link != block) {
        link = &(*link)->previous;
    }
    // realloc can grow in place, or move a large block's pages without copying them.
    void* grown = std::realloc(block, sizeof(SectionBlock) + size);
    if (grown == nullptr) {
        throw std::bad_alloc();  // the old block is still the list's and intact
    }
    *link = static_cast<SectionBlock*>(grown);
    (*link)->size = size;
    return *link;
}

void replaceHeader(Section& section, const char* chars, std::size_t count, SectionList& list) {
    if (count > static_cast<std::size_t>(Text::maxLength)) {
        throw std::bad_alloc();
    }
    const auto length = static_cast<std::int32_t>(count);
    char* place = const_cast<char*>(section.header.c_str());
    std::int32_t capacity = section.header.capacity();
    if (capacity <= length) {
        place = bytesOf(addSectionBlock(list, count + 1));
        capacity = length + 1;
    }
    std::memmove(place, chars, count);
    place[count] = '\0';
    // Made anew rather than assigned, which would copy into the old place; a Text over the
    // list's memory has nothing to free.
    section.header.~Text();
    new (&section.header) Text(Text::over(place, length, capacity));
}

std::int64_t memoryOfSections(const SectionList& list) {
    constexpr std::int64_t kAllocationOverhead = 4 * sizeof(void*);
    std::int64_t held = 0;
    for (const SectionBlock* block = list.blocks; block != nullptr; block = block->previous) {
        held += static_cast<std::int64_t>(sizeof(SectionBlock) + block->size) + kAllocationOverhead;
    }
    return held;
}

void linkSection(Section* node, SectionList& list) {
    if (list.tail == nullptr) {
        list.head = node;
    } else {
        list.tail->next = node;
    }
    list.tail = node;
}

void appendSection(const Text& header, const Text& body, SectionList& list) {
    const std::size_t headerSize = static_cast<std::size_t>(header.length()) + 1;
    const std::size_t bodySize = static_cast<std::size_t>(body.length()) + 1;
    char* at = bytesOf(addSectionBlock(list, sizeof(Section) + headerSize + bodySize));
    char* headerChars = at + sizeof(Section);
    char* bodyChars = headerChars + headerSize;
    std::memcpy(headerChars, header.c_str(), headerSize);
    std::memcpy(bodyChars, body.c_str(), bodySize);
    auto* node = new (at) Section{Text::over(headerChars, header.length(), header.length() + 1),
                                  Text::over(bodyChars, body.length(), body.length() + 1)};
    linkSection(node, list);
}

void releaseSections(SectionList& list) {
    if (list.head == nullptr) {
        std::cout << "Data already deleted\n" << std::flush;
        freeAll(list);  // a refused parse may have left blocks without a section
        return;
    }
    freeAll(list);
    list.encoding = FileEncoding::eightBit;
    list.lineEndsAsWritten = true;
}

void discardSections(SectionList& list) {
    freeAll(list);
    list.encoding = FileEncoding::eightBit;
    list.lineEndsAsWritten = true;
}
