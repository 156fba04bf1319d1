// Lookup table of the instruction-set model: shared elements found by a small
// unsigned id (a dense vector with empty slots) and by name (a hash map). It
// holds the fields, the arguments, the variants of one mnemonic and the
// mnemonics of the instruction set. Tables only grow; copies share elements.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "seqprocessor/SeqProcError.h"

// Default key functor: elements with public members `id` and `name`.
template <class T> struct SeqIdNameFunc {
    static uint32_t id(const T& element) { return element.id; }
    static std::string name(const T& element) { return element.name; }
    static bool isInitialized(const T& element) { return element.id != 0xFFFFFFFFu; }
    static bool hasName(const T& element) { return !element.name.empty(); }
};

template <class T, class F = SeqIdNameFunc<T>> class SeqIdNameLUT {
public:
    // Ids above this are refused: the dense id vector would otherwise need
    // gigabytes for a single stray id.
    static constexpr uint32_t maxId = 0xFFFFF;

    uint64_t count = 0;
    std::vector<std::shared_ptr<T>> byId;
    std::unordered_map<std::string, std::shared_ptr<T>> byName;

    SeqIdNameLUT() = default;
    SeqIdNameLUT(const SeqIdNameLUT&) = default;
    SeqIdNameLUT& operator=(const SeqIdNameLUT&) = default;
    virtual ~SeqIdNameLUT() = default;

    // Every test comes before any change: a refused element leaves the table as it was.
    void add(std::shared_ptr<T> element) {
        if (!element) {
            throw SeqProcUninitializedError("Adding nullptr to lookup table.");
        }
        if (!F::isInitialized(*element)) {
            throw SeqProcUninitializedError("Adding unitialized element lookup table.");
        }
        const uint32_t id = F::id(*element);
        if (id > maxId) {
            SeqProcInstructionTableError error("SeqIdNameLUT ");
            error << typeText() << " entry with id=" << id << " exceeds the largest id " << maxId;
            throw error;
        }
        const bool named = F::hasName(*element);
        std::string name;
        if (named) {
            name = F::name(*element);
            auto found = byName.find(name);
            if (found != byName.end()) {
                throw duplicateError(*found->second, *element);
            }
        }
        if (id < byId.size()) {
            if (byId[id]) {
                throw duplicateError(*byId[id], *element);
            }
            if (named) {
                byName.emplace(name, element);
            }
            byId[id] = std::move(element);
        } else {
            if (byId.capacity() <= id) {
                byId.reserve(std::max<size_t>(size_t(id) + 1, 2 * byId.capacity()));
            }
            if (named) {
                byName.emplace(name, element);
            }
            byId.resize(id);
            byId.push_back(std::move(element));
        }
        ++count;
    }

    SeqProcDuplicateError duplicateError(const T& existing, const T& added) const {
        SeqProcDuplicateError error("Duplicate SeqIdNameLUT ");
        error << typeText() << " entry with"
              << " (id1=" << F::id(existing);
        if (F::hasName(existing)) {
            error << ", name1=\"" << F::name(existing) << "\"";
        }
        error << ")"
              << "& (id2=" << F::id(added);
        if (F::hasName(added)) {
            error << ", name2=\"" << F::name(added) << "\"";
        }
        error << ")";
        return error;
    }

    std::shared_ptr<T> findById(uint32_t id) const {
        if (id >= byId.size()) {
            return nullptr;
        }
        return byId[id];
    }

    std::shared_ptr<T> findByName(const std::string& name) const {
        auto found = byName.find(name);
        if (found == byName.end()) {
            return nullptr;
        }
        return found->second;
    }

    // For the small tables read on every simulated operand (a definition's
    // fields): walking the map with the length compared first costs less than
    // making a std::string, hashing it and copying the shared pointer. The
    // element stays owned by the table; null when the name is not entered.
    T* scanByName(std::string_view name) const {
        for (const auto& entry : byName) {
            const std::string& key = entry.first;
            if (key.size() == name.size() &&
                std::memcmp(key.data(), name.data(), name.size()) == 0) {
                return entry.second.get();
            }
        }
        return nullptr;
    }

private:
    // The run-time type name, "8SeqField" for both SeqField and SeqField const.
    static const char* typeText() { return typeid(std::remove_cv_t<T>).name(); }
};
