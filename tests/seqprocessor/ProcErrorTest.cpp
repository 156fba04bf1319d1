// The processor error family: the message through every kind of reference,
// copies, and the kind of each error.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <type_traits>

#include "seqprocessor/SeqInstructionDef.h"
#include "seqprocessor/SeqProcError.h"

static_assert(std::is_base_of_v<std::runtime_error, SeqProcMemoryError>);
static_assert(std::is_base_of_v<std::runtime_error, SeqProcInstructionNotFoundError>);
static_assert(std::is_base_of_v<std::runtime_error, SeqProcArgumentNotFoundError>);
static_assert(std::is_base_of_v<std::logic_error, SeqProcInstructionTableError>);
static_assert(std::is_base_of_v<std::logic_error, SeqProcUninitializedError>);
static_assert(std::is_base_of_v<std::logic_error, SeqProcDuplicateError>);
static_assert(std::is_base_of_v<SeqProcError, SeqProcRuntimeError>);
static_assert(std::is_base_of_v<SeqProcError, SeqProcLogicError>);

template <class Leaf, class Base> static void expectMessageEverywhere() {
    Leaf thrown("Attempt to write ");
    thrown << std::string("instruction") << " at address " << 5000u << " beyond maximum address "
           << 4095u;
    const std::string expected =
        "Attempt to write instruction at address 5000 beyond maximum address 4095";
    try {
        throw thrown;
    } catch (Leaf& error) {
        EXPECT_EQ(error.what(), expected);
        EXPECT_EQ(error.message(), expected);
        EXPECT_EQ(static_cast<const std::exception&>(error).what(), expected);
        EXPECT_EQ(static_cast<Base&>(error).what(), expected);
        // The non-const interface operation gives the whole message as well.
        EXPECT_EQ(static_cast<SeqProcError&>(error).what(), expected);
    }
}

TEST(SeqProcError, EveryLeafGivesItsMessageThroughEveryReference) {
    expectMessageEverywhere<SeqProcMemoryError, SeqProcRuntimeError>();
    expectMessageEverywhere<SeqProcInstructionNotFoundError, SeqProcRuntimeError>();
    expectMessageEverywhere<SeqProcArgumentNotFoundError, SeqProcRuntimeError>();
    expectMessageEverywhere<SeqProcInstructionTableError, SeqProcLogicError>();
    expectMessageEverywhere<SeqProcUninitializedError, SeqProcLogicError>();
    expectMessageEverywhere<SeqProcDuplicateError, SeqProcLogicError>();
}

TEST(SeqProcError, InsertionsAndCopies) {
    SeqProcInstructionTableError error("opcode ");
    error << 18446744073709551615ull << " " << true;
    SeqInstructionDef::Signature signature;
    signature.addRegisterArg('R');
    signature.addImmediateArg();
    error << " " << signature;
    SeqProcInstructionTableError copy(error);
    error << " more";
    EXPECT_STREQ(copy.what(), "opcode 18446744073709551615 1 R#,#");
    EXPECT_STREQ(error.what(), "opcode 18446744073709551615 1 R#,# more");
}

TEST(SeqProcError, BaseClassesKeepTheirOwnText) {
    SeqProcRuntimeError runtime("run");
    SeqProcLogicError logic("logic");
    EXPECT_STREQ(static_cast<SeqProcError&>(runtime).what(), "run");
    EXPECT_STREQ(static_cast<SeqProcError&>(logic).what(), "logic");
}
