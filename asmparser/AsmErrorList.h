// All errors of one assembly run and the report texts made from them. Every
// reader (iteration, `operator[]`, `getErrors` and the reports) sees the
// entries in source-line order, errors without a line last and arrival order
// among equals, whatever order they were inserted in.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "asmparser/AsmError.h"

class AsmErrorList {
public:
    using value_type = std::shared_ptr<AsmError>;
    using const_iterator = std::vector<value_type>::const_iterator;

    AsmErrorList() = default;

    // Places the error after every entry it does not precede; null is ignored.
    virtual void insert(const std::shared_ptr<AsmError>& error);

    template <typename T, typename... Args> void emplace(Args&&... args) {
        insert(std::make_shared<T>(std::forward<Args>(args)...));
    }

    // Removes the first entry holding this very object; the others keep their
    // order.
    void erase(const std::shared_ptr<AsmError>& error);

    static bool sortByLineNr(const std::shared_ptr<AsmError>& a,
                             const std::shared_ptr<AsmError>& b);

    // Sum of the source references of all entries.
    size_t numberOfErrorSources() const;

    // A reader may put the latest arrivals in place, so one list is not read
    // by two threads at once. An insertion invalidates what a reader returned.
    const std::vector<value_type>& getErrors() const { return ordered(); }
    size_t size() const { return errors.size(); }
    bool empty() const { return errors.empty(); }
    const_iterator begin() const { return ordered().begin(); }
    const_iterator end() const { return ordered().end(); }
    const value_type& operator[](size_t i) const { return ordered()[i]; }

    std::string toStringFullReport(const std::string& title) const;
    std::string toStringOneLineSummary(const std::string& title) const;
    std::string toStringDetails() const;

protected:
    // Errors mostly arrive in source order, so an insertion appends, and the
    // first `orderedCount` entries are known to be in order. Arrivals after
    // them wait until a reader looks, and then are sorted and merged in at
    // once. Placing every error as it arrives would move the whole tail of a
    // long list each time (a duplicate label is filed at its first
    // definition, near the front).
    mutable std::vector<value_type> errors;
    mutable size_t orderedCount = 0;

    // The entries in order, the waiting arrivals merged in first.
    const std::vector<value_type>& ordered() const;

private:
    // Every entry's what() and a newline, the final newline removed.
    void appendEntries(std::string& text) const;
};
