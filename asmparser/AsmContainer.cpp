#include "asmparser/AsmContainer.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "Logging.h"

namespace {

// The label lines are debug detail: written at level 7, but only at verbose.
bool labelDebug() {
    return Logging::getLogLevel() > 7;
}

} // namespace

AsmContainer::AddressLabelInfo::AddressLabelInfo(const std::shared_ptr<AsmInstruction>& instruction)
    : labelStatement(instruction) {
    if (!instruction || instruction->addressLabel.empty())
        THROW_BUG("AddressLabelInfo created from AsmInstruction without a label.");
}

AsmContainer::AddressLabelInfo::AddressLabelInfo(const AsmToken& label,
                                                 const std::shared_ptr<AsmInstruction>& referrer)
    : refs{referrer} {
    if (label.empty())
        THROW_BUG("AddressLabelInfo created from empty AsmToken label.");
    labelStatement = std::make_shared<AsmInstruction>(label.line, AsmType::LABEL_ONLY);
    labelStatement->setAddressLabel(label);
}

void AsmContainer::AddressLabelInfo::setLabelStatement(
    const std::shared_ptr<AsmInstruction>& instruction) {
    if (!instruction)
        THROW_BUG("Can not set empty label statement pointer");
    labelStatement = instruction;
}

void AsmContainer::AddressLabelInfo::resolveRef(AsmArgument& argument) {
    argument.value = static_cast<AsmArgument::value_t>(labelStatement->address);
    argument.hasValue = true;
    if (labelDebug())
        Logging::write(7, "Resolving address label '%s' reference to address %llx",
                       labelStatement->addressLabel.toString().c_str(),
                       static_cast<unsigned long long>(labelStatement->address));
}

void AsmContainer::AddressLabelInfo::resolveRefs() {
    const AsmToken& label = labelStatement->addressLabel;
    for (const std::shared_ptr<AsmInstruction>& referrer : refs) {
        for (const std::shared_ptr<AsmArgument>& argument : referrer->arguments) {
            if (!argument->label.empty() && argument->label == label)
                resolveRef(*argument);
        }
    }
    refs.clear();
}

void AsmContainer::push_back(const std::shared_ptr<AsmStatement>& statement) {
    push_back(std::shared_ptr<AsmStatement>(statement));
}

void AsmContainer::push_back(std::shared_ptr<AsmStatement>&& statement) {
    if (statement->type == AsmType::LABEL_ONLY)
        THROW_BUG("Can not add LABEL_ONLY statements to AsmContainer. Merge with next real "
                  "instruction before adding");
    addAddressLabel(statement);
    const auto* instruction = vorel::statementAs<AsmInstruction>(statement.get());
    if (instruction &&
        (instruction->hasAddress || instruction->address != AsmInstruction::noAddress))
        mayHoldAddresses = true;
    ++typeCounts[static_cast<unsigned short>(statement->type)];
    statements.push_back(std::move(statement));
}

void AsmContainer::addAddressLabel(const std::shared_ptr<AsmStatement>& statement) {
    auto* instruction = vorel::statementAs<AsmInstruction>(statement.get());
    if (!instruction || instruction->addressLabel.empty())
        return;
    auto [entry, added] = labels.try_emplace(instruction->addressLabel.toString(),
                                             std::static_pointer_cast<AsmInstruction>(statement));
    // Both labels where they are written: a label on a line of its own
    // stands there, not on the line of the instruction it labels.
    if (!added)
        throw AsmDuplicateAddressLabelError(entry->second.labelStatement->addressLabel,
                                            instruction->addressLabel);
}

size_t AsmContainer::typeCount(unsigned short type) const {
    auto found = typeCounts.find(type);
    return found == typeCounts.end() ? 0 : found->second;
}

void AsmContainer::clear() {
    labels.clear();
    statements.clear();
    typeCounts.clear();
    mayHoldAddresses = false;
}

namespace {

void clearAddress(AsmInstruction& instruction) {
    instruction.address = AsmInstruction::noAddress;
    instruction.hasAddress = false;
    for (const std::shared_ptr<AsmArgument>& argument : instruction.arguments) {
        if (argument->label.empty())
            continue;
        argument->value = 0;
        argument->hasValue = false;
        argument->text = AsmToken();
    }
}

// Where the referring instruction's line shows its next operand that refers
// to the label: the name as written, or the symbol that stands for it. The
// operands before position `from` are passed over, and `from` moves past the
// one found. Empty when the line shows neither.
AsmToken referenceOnLine(const AsmInstruction& referrer, const std::string& name, size_t& from) {
    const auto& arguments = referrer.arguments;
    for (size_t i = from; i < arguments.size(); ++i) {
        const AsmArgument& argument = *arguments[i];
        if (argument.label.empty() || argument.label != name)
            continue;
        from = i + 1;
        if (argument.label.line == referrer.sourceLine)
            return argument.label;
        if (!argument.symbol.empty() && argument.symbol.line == referrer.sourceLine)
            return argument.written();
        return AsmToken();
    }
    from = arguments.size();
    return AsmToken();
}

} // namespace

void AsmContainer::clearInstructionAddresses() {
    for (const std::shared_ptr<AsmStatement>& statement : statements) {
        if (auto* instruction = vorel::statementAs<AsmInstruction>(statement.get()))
            clearAddress(*instruction);
    }
    mayHoldAddresses = false;
}

void AsmContainer::assignInstructionAddresses(AsmErrorList& errors, size_t start, size_t step) {
    // Every instruction is cleared before it is given its address. Clearing
    // all of them first matters only when a later one may still carry an
    // address of an earlier pass, which a reference would take for its own.
    const bool clearedAhead = mayHoldAddresses;
    if (clearedAhead)
        clearInstructionAddresses();
    mayHoldAddresses = true;
    // The pass collects every unresolved reference anew; references left from
    // an earlier pass would otherwise be reported twice.
    for (auto& entry : labels)
        entry.second.refs.clear();
    uint64_t next = start;
    for (const std::shared_ptr<AsmStatement>& statement : statements) {
        auto* instruction = vorel::statementAs<AsmInstruction>(statement.get());
        if (!instruction)
            continue;
        if (!clearedAhead)
            clearAddress(*instruction);
        instruction->address = next;
        instruction->hasAddress = true;
        if (!instruction->addressLabel.empty()) {
            auto [entry, added] =
                labels.try_emplace(instruction->addressLabel.toString(),
                                   std::static_pointer_cast<AsmInstruction>(statement));
            if (labelDebug())
                Logging::write(7, "assigning address %llx to %s label '%s'",
                               static_cast<unsigned long long>(next), added ? "new" : "existing",
                               entry->first.c_str());
            if (!added) {
                entry->second.setLabelStatement(
                    std::static_pointer_cast<AsmInstruction>(statement));
                entry->second.resolveRefs();
            }
        }
        for (const std::shared_ptr<AsmArgument>& argument : instruction->arguments) {
            if (argument->label.empty())
                continue;
            auto [entry, added] =
                labels.try_emplace(argument->label.toString(), argument->label,
                                   std::static_pointer_cast<AsmInstruction>(statement));
            if (added) {
                if (labelDebug())
                    Logging::write(7, "assigning first unresolved reference to address label '%s'",
                                   entry->first.c_str());
            } else if (entry->second.hasAddress()) {
                entry->second.resolveRef(*argument);
            } else {
                if (labelDebug())
                    Logging::write(7, "adding another unresolved reference to address label '%s'",
                                   entry->first.c_str());
                entry->second.addRef(std::static_pointer_cast<AsmInstruction>(statement));
            }
        }
        next += step;
    }

    // Only labels still referenced but never defined are reported, visited in
    // name order so that the report does not depend on hashing.
    std::vector<std::pair<const std::string, AddressLabelInfo>*> unresolved;
    for (auto& entry : labels) {
        AddressLabelInfo& info = entry.second;
        if (info.hasAddress())
            info.resolveRefs();
        if (!info.refs.empty())
            unresolved.push_back(&entry);
    }
    std::sort(unresolved.begin(), unresolved.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (auto* entry : unresolved) {
        const AddressLabelInfo& info = entry->second;
        const std::string name = info.labelStatement->addressLabel.toString();
        // An instruction stands in refs once per operand that refers to the
        // label, in operand order: each error points at its own operand.
        std::unordered_map<const AsmInstruction*, size_t> nextOperand;
        for (const std::shared_ptr<AsmInstruction>& referrer : info.refs) {
            const AsmToken place = referenceOnLine(*referrer, name, nextOperand[referrer.get()]);
            if (place.empty())
                errors.insert(std::make_shared<AsmUnresolvedAddressLabelError>(
                    std::vector<std::shared_ptr<const SourceLine>>{referrer->sourceLine}, name));
            else
                errors.insert(std::make_shared<AsmUnresolvedAddressLabelError>(
                    std::vector<SourceErrorRef>{vorel::refToToken(place)}, name));
        }
    }
}
