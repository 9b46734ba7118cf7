#include "renumber/Renumber.h"

#include <iostream>

#include "text/Decimal.h"
#include "text/Text.h"

void renumberEntries(SectionList& list) {
    const Text marker("fltsim.");
    Text prefix("[fltsim.");
    std::int32_t counter = 0;
    if (list.head == nullptr) {
        std::cout << "error!";
        return;
    }
    for (Section* section = list.head; section != nullptr; section = section->next) {
        if (section->header.find(marker) < 0) {
            continue;
        }
        prefix += toDecimal(counter);
        prefix += ']';
        section->header = prefix;
        prefix = "[fltsim.";
        ++counter;
    }
}
