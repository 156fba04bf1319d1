// All errors of one assembly run, kept in source-line order (errors without a
// line last), and the report texts made from them.
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

    // Removes the first entry holding this very object.
    void erase(const std::shared_ptr<AsmError>& error);

    static bool sortByLineNr(const std::shared_ptr<AsmError>& a,
                             const std::shared_ptr<AsmError>& b);

    // Sum of the source references of all entries.
    size_t numberOfErrorSources() const;

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
    // The entries in order, once ordered() has run. Errors mostly arrive in
    // source order, so an insertion appends; one that belongs earlier (a
    // duplicate label reported at its first definition, say) waits in the
    // tail after `ordered` entries until the list is read, and then the tail
    // is merged in. Placing every error at once would move the whole tail of
    // a long list each time.
    mutable std::vector<value_type> errors;
    mutable size_t orderedCount = 0;

    // The entries in source-line order, arrival order among equals.
    const std::vector<value_type>& ordered() const;

private:
    // Every entry's what() and a newline, the final newline removed.
    void appendEntries(std::string& text) const;
};
