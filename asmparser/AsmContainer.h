// The parsed statements of one source in source order, their counts by kind,
// and the address labels with the references still waiting for them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmInstruction.h"
#include "asmparser/AsmStatement.h"
#include "asmparser/AsmType.h"

class AsmContainer {
public:
    class AddressLabelInfo {
    public:
        // The defining instruction, or a placeholder for a label that was
        // referenced before (or without) being defined. Never null.
        std::shared_ptr<AsmInstruction> labelStatement;
        // Instructions with references to this label not yet resolved.
        std::vector<std::shared_ptr<AsmInstruction>> refs;

        explicit AddressLabelInfo(const std::shared_ptr<AsmInstruction>& instruction);
        AddressLabelInfo(const AsmToken& label, const std::shared_ptr<AsmInstruction>& referrer);

        void setLabelStatement(const std::shared_ptr<AsmInstruction>& instruction);
        void addRef(const std::shared_ptr<AsmInstruction>& referrer) { refs.push_back(referrer); }
        void resolveRef(AsmArgument& argument);
        void resolveRefs();
        bool hasAddress() const { return labelStatement->hasAddress; }
    };

    std::vector<std::shared_ptr<AsmStatement>> statements;
    std::unordered_map<std::string, AddressLabelInfo> labels;
    std::unordered_map<unsigned short, size_t> typeCounts;
    // False while no stored instruction can carry an address or a resolved
    // reference, so an address pass need not clear them first.
    bool mayHoldAddresses = false;

    AsmContainer() = default;

    // Stores the statement and registers its label; throws
    // AsmDuplicateAddressLabelError for a label defined before.
    void push_back(const std::shared_ptr<AsmStatement>& statement);
    void push_back(std::shared_ptr<AsmStatement>&& statement);
    void addAddressLabel(const std::shared_ptr<AsmStatement>& statement);

    size_t typeCount(unsigned short type) const;
    size_t typeCount(AsmType type) const { return typeCount(static_cast<unsigned short>(type)); }

    void clear();
    void clearInstructionAddresses();
    // Numbers the instructions from start in steps of step, resolves label
    // references and reports each unresolved one into errors.
    void assignInstructionAddresses(AsmErrorList& errors, size_t start, size_t step);

    const std::vector<std::shared_ptr<AsmStatement>>& getStatements() const { return statements; }
    size_t size() const { return statements.size(); }
    bool empty() const { return statements.empty(); }
    std::vector<std::shared_ptr<AsmStatement>>::const_iterator begin() const {
        return statements.begin();
    }
    std::vector<std::shared_ptr<AsmStatement>>::const_iterator end() const {
        return statements.end();
    }
};
