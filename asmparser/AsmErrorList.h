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
    std::vector<value_type> errors;

private:
    // Every entry's what() and a newline, the final newline removed.
    void appendEntries(std::string& text) const;
};
