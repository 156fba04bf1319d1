// All errors of one assembly run and the report texts made from them. The
// entries are put in source-line order (errors without a line last, arrival
// order among equals) by `sort`, which every pass that adds errors calls
// where it ends: a list handed back by the parser, the address pass, the
// assembler section or the facade is in order.
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

    // Appends the error; null is ignored. Until the next `sort` an error that
    // belongs earlier stands after the entries that arrived before it.
    virtual void insert(const std::shared_ptr<AsmError>& error);

    template <typename T, typename... Args> void emplace(Args&&... args) {
        insert(std::make_shared<T>(std::forward<Args>(args)...));
    }

    // Places every entry after each entry it does not precede: what inserting
    // each at its upper bound would have given.
    void sort();

    // Removes the first entry holding this very object; the others keep their
    // order.
    void erase(const std::shared_ptr<AsmError>& error);

    static bool sortByLineNr(const std::shared_ptr<AsmError>& a,
                             const std::shared_ptr<AsmError>& b);

    // Sum of the source references of all entries.
    size_t numberOfErrorSources() const;

    const std::vector<value_type>& getErrors() const { return errors; }
    size_t size() const { return errors.size(); }
    bool empty() const { return errors.empty(); }
    const_iterator begin() const { return errors.begin(); }
    const_iterator end() const { return errors.end(); }
    const value_type& operator[](size_t i) const { return errors[i]; }

    std::string toStringFullReport(const std::string& title) const;
    std::string toStringOneLineSummary(const std::string& title) const;
    std::string toStringDetails() const;

protected:
    // Errors mostly arrive in source order, so the first `sortedCount`
    // entries are known to be in order and `sort` only sorts the arrivals
    // after them and merges them in. Placing every error at once would move
    // the whole tail of a long list each time (a duplicate label is filed at
    // its first definition, near the front).
    std::vector<value_type> errors;
    size_t sortedCount = 0;

private:
    // Every entry's what() and a newline, the final newline removed.
    void appendEntries(std::string& text) const;
};
