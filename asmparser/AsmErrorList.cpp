#include "asmparser/AsmErrorList.h"

#include <algorithm>

#include "utils/StringUtils.h"

void AsmErrorList::insert(const std::shared_ptr<AsmError>& error) {
    if (!error)
        return;
    const bool inOrder =
        orderedCount == errors.size() && (errors.empty() || !sortByLineNr(error, errors.back()));
    errors.push_back(error);
    if (inOrder)
        orderedCount = errors.size();
}

const std::vector<AsmErrorList::value_type>& AsmErrorList::ordered() const {
    if (orderedCount != errors.size()) {
        // A stable sort of the arrivals after the ordered part and a stable
        // merge give what placing each at its upper bound would have given.
        // Neither throws: short of memory they work without a buffer.
        const auto tail = errors.begin() + static_cast<std::ptrdiff_t>(orderedCount);
        std::stable_sort(tail, errors.end(), sortByLineNr);
        std::inplace_merge(errors.begin(), tail, errors.end(), sortByLineNr);
        orderedCount = errors.size();
    }
    return errors;
}

void AsmErrorList::erase(const std::shared_ptr<AsmError>& error) {
    // The first entry holding the object is the one that arrived first, in
    // the ordered part or among the waiting arrivals: no need to order.
    auto it = std::find(errors.begin(), errors.end(), error);
    if (it == errors.end())
        return;
    if (static_cast<size_t>(it - errors.begin()) < orderedCount)
        --orderedCount;
    errors.erase(it);
}

bool AsmErrorList::sortByLineNr(const std::shared_ptr<AsmError>& a,
                                const std::shared_ptr<AsmError>& b) {
    if (!a)
        return false;
    int lineA = a->lineNr();
    if (lineA == 0)
        return false;
    if (!b)
        return true;
    int lineB = b->lineNr();
    return lineB == 0 || lineA < lineB;
}

size_t AsmErrorList::numberOfErrorSources() const {
    size_t n = 0;
    for (const value_type& error : errors)
        n += error->numberOfErrorSources();
    return n;
}

void AsmErrorList::appendEntries(std::string& text) const {
    for (const value_type& error : ordered())
        append_(false, text, error->text(), "\n");
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
}

std::string AsmErrorList::toStringFullReport(const std::string& title) const {
    if (errors.empty())
        return stringCat(title, " finished successfully");
    std::string text =
        stringCat(title, " failed with ", static_cast<unsigned int>(errors.size()), " errors:\n");
    appendEntries(text);
    return text;
}

std::string AsmErrorList::toStringOneLineSummary(const std::string& title) const {
    if (errors.empty())
        return stringCat(title, " finished successfully");
    if (errors.size() == 1) {
        std::string text = stringCat(title, " failed with error: ", errors.front()->text());
        replaceAll(text, "\n", "\\n");
        return text;
    }
    return stringCat(title, " failed with ", static_cast<unsigned int>(errors.size()), " errors");
}

std::string AsmErrorList::toStringDetails() const {
    std::string text;
    if (errors.size() < 2)
        return text;
    appendEntries(text);
    return text;
}
