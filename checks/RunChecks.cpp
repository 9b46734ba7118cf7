#include "checks/RunChecks.h"

#include <new>
#include <string>
#include <utility>

#include "renumber/Renumber.h"
#include "text/AsciiCase.h"
#include "text/Decimal.h"

void WarningBudget::show(EntryWarnings& warnings) {
    if (warnings.shown.size() > left_) {
        warnings.shown.resize(left_);
    }
    left_ -= warnings.shown.size();
    hidden_ += warnings.total - warnings.shown.size();
    counted_ += warnings.total;
}

std::size_t WarningBudget::takeHidden() {
    const std::size_t hidden = hidden_;
    hidden_ = 0;
    return hidden;
}

Text moreWarnings(std::size_t more) {
    return Text("and ") + toDecimal(static_cast<std::int32_t>(more)) +
           Text(more == 1 ? " more warning like these" : " more warnings like these");
}

namespace {

// What one title kept in the table costs, about: the node and its bucket, the folded title, and
// the file's path and entry's name that its origin keeps.
std::int64_t costOfTitle(std::size_t titleLength, const Text& file, const Text& entry) {
    constexpr std::int64_t kNodeAndBucket = 96;
    return kNodeAndBucket + static_cast<std::int64_t>(titleLength) + file.length() +
           entry.length() + 16;
}

}  // namespace

// A collection repeats its titles thousands of times, so a title met before costs a lookup and
// nothing more: no copy is made, and the entry's name is looked up only for a title met first or
// one to warn of or count past the cap, so that only aircraft entries are counted.
void RunTitles::warnOfTitlesInOtherFiles(const Text& file, const SectionList& sections,
                                         WarningBudget& budget, const TitleAllowance& allowance,
                                         std::vector<Text>& lines, const PlaceInPackage& place) {
    if (leftOut_) {
        return;
    }
    try {
        std::string folded;  // reused from title to title
        std::size_t placeId = 0;
        if (!place.path.empty()) {
            folded.assign(place.path.c_str(), static_cast<std::size_t>(place.path.length()));
            foldAsciiCase(&folded[0], folded.size());
            const auto met = places_.find(folded);
            if (met == places_.end()) {
                const std::int64_t cost = costOfTitle(folded.size(), place.package, Text());
                if (bytes_ + cost > allowance(bytes_ + cost)) {
                    throw std::bad_alloc();
                }
                placeId = places_.size() + 1;
                places_.emplace(folded, Place{place.package, placeId});
                bytes_ += cost;
            } else {
                placeId = met->second.id;
                // The same package twice (through a link, say) is the same file, not a pair.
                if (!(met->second.package == place.package)) {
                    if (budget.full()) {
                        budget.hide();  // past the run's cap, counted as a title's line is
                    } else {
                        budget.showOne();
                        Warning warning;
                        warning.kind = WarningKind::samePathInAnotherPackage;
                        warning.file = place.package;
                        warning.first = met->second.package;
                        warning.value = place.path;
                        Text line = file + Text(": ");
                        appendWordingOf(line, warning);
                        lines.push_back(std::move(line));
                    }
                }
            }
        }
        for (const Section* section = sections.head; section != nullptr; section = section->next) {
            const EntryValue title = valuesIn(section->body).title;
            if (!title.set || title.chars.empty()) {
                continue;
            }
            folded.assign(title.chars.data(), title.chars.size());
            foldAsciiCase(&folded[0], folded.size());
            const auto first = table_.find(folded);
            if (first != table_.end() &&
                (first->second.file == file || (placeId != 0 && first->second.place == placeId))) {
                continue;
            }
            const Text entry = entryName(section->header);
            if (entry.empty()) {
                continue;  // not an aircraft entry: the simulator lists no title of it
            }
            if (first != table_.end() && budget.full()) {
                budget.hide();
                continue;
            }
            if (first == table_.end()) {
                const std::int64_t cost = costOfTitle(folded.size(), file, entry);
                if (bytes_ + cost > allowance(bytes_ + cost)) {
                    throw std::bad_alloc();
                }
                table_.emplace(folded, Origin{file, entry, placeId});
                bytes_ += cost;
                continue;
            }
            budget.showOne();
            Warning warning;
            warning.kind = WarningKind::sameTitleInAnotherFile;
            warning.entry = entry;
            warning.first = first->second.entry;
            warning.file = first->second.file;
            warning.value = Text(std::string(title.chars).c_str());
            Text line = file + Text(": ");
            appendWordingOf(line, warning);
            lines.push_back(std::move(line));
        }
    } catch (const std::bad_alloc&) {
        std::unordered_map<std::string, Origin>().swap(table_);  // gives its memory back
        std::unordered_map<std::string, Place>().swap(places_);
        bytes_ = 0;
        leftOut_ = true;
        lines.push_back(file +
                        Text(": too little memory is left to compare the titles of more files, so "
                             "from this file on, titles that two files share are not warned of"));
    }
    if (const std::size_t hidden = budget.takeHidden(); hidden > 0) {
        lines.push_back(file + Text(": ") + moreWarnings(hidden));
    }
}
