#include "package/ListPlan.h"

#include <utility>

#include "package/Layout.h"

namespace {

ListFact factOn(ListFactKind kind, const PackageFile& file) {
    ListFact fact;
    fact.kind = kind;
    fact.entry = file.entry;
    fact.size = file.state.size;
    return fact;
}

}  // namespace

std::vector<ListFact> factsOfRefusedList(const std::vector<PackageFile>& files) {
    std::vector<ListFact> facts;
    bool toldUnchecked = false;
    for (const PackageFile& file : files) {
        if (file.state.rewritten) {
            facts.push_back(factOn(ListFactKind::keptOldSize, file));
        } else if (!toldUnchecked) {
            facts.push_back(factOn(ListFactKind::unchecked, file));
            toldUnchecked = true;
        }
    }
    return facts;
}

bool planListEdit(const std::string& list, const std::vector<PackageFile>& files,
                  std::size_t memoryBudget, ListPlan& plan, Cause& why) {
    plan = ListPlan();
    // The list is read once for all of them: the files' entries, then everything beside them.
    std::vector<Text> entries;
    std::vector<Text> beside;
    entries.reserve(files.size());
    for (const PackageFile& file : files) {
        entries.push_back(file.entry);
        beside.insert(beside.end(), file.beside.begin(), file.beside.end());
    }
    LayoutReading reading;
    if (!readLayout(list, entries, beside, memoryBudget, reading, why)) {
        plan.facts = factsOfRefusedList(files);
        return false;
    }
    std::vector<DigitEdit> edits;
    std::vector<ListFact> updates;
    std::size_t besideAt = 0;  // where the files beside files[i] start in `beside`
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PackageFile& file = files[i];
        const LayoutEntry& entry = reading.entries[i];
        if (!entry.listed) {
            plan.facts.push_back(factOn(ListFactKind::notListed, file));
        }
        ListFact unlisted = factOn(ListFactKind::unlistedBeside, file);
        for (std::size_t j = 0; j < file.beside.size(); ++j) {
            if (!reading.listed[besideAt + j]) {
                unlisted.names.push_back(file.beside[j]);
            }
        }
        besideAt += file.beside.size();
        if (!unlisted.names.empty()) {
            plan.facts.push_back(std::move(unlisted));
        }
        if (entry.listed && (file.state.rewritten || !recordsSize(entry, file.state.size))) {
            addEntryEdits(entry, file.state.size, file.state.lastWriteTicks, edits);
            ListFact update = factOn(
                file.state.rewritten ? ListFactKind::rewrittenEntry : ListFactKind::staleEntry,
                file);
            update.recordedSize = entry.size;
            updates.push_back(std::move(update));
        }
    }
    if (!edits.empty()) {
        plan.edited = editedLayout(list, std::move(edits));
    }
    for (ListFact& update : updates) {
        plan.facts.push_back(std::move(update));
    }
    return true;
}
