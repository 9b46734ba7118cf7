#include "sections/Section.h"

#include <iostream>
#include <utility>

bool isUtf16(FileEncoding encoding) {
    return encoding == FileEncoding::utf16LittleEndian || encoding == FileEncoding::utf16BigEndian;
}

ByteOrder byteOrderOf(FileEncoding encoding) {
    return encoding == FileEncoding::utf16BigEndian ? ByteOrder::bigEndian
                                                    : ByteOrder::littleEndian;
}

void appendSection(Text header, Text body, SectionList& list) {
    auto* node = new Section;
    node->header = std::move(header);
    node->body = std::move(body);
    if (list.tail == nullptr) {
        list.head = node;
    } else {
        list.tail->next = node;
    }
    list.tail = node;
}

void releaseSections(SectionList& list) {
    if (list.head == nullptr) {
        std::cout << "Data already deleted\n" << std::flush;
        return;
    }
    while (list.head != nullptr) {
        Section* node = list.head;
        list.head = node->next;
        delete node;
    }
    list.tail = nullptr;
    list.encoding = FileEncoding::eightBit;
    list.lineEndsAsWritten = true;
}

void discardSections(SectionList& list) {
    if (list.head != nullptr) {
        releaseSections(list);
    }
    list.encoding = FileEncoding::eightBit;
    list.lineEndsAsWritten = true;
}
