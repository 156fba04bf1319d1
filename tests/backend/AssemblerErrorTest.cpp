// Faults of the source found while an instruction is encoded: an unknown
// mnemonic, an operand of no known kind, an operand list that matches no
// variant. Each is one syntax error with an exact text and a position in the
// instruction's line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BackendTestSupport.h"
#include "Logging.h"
#include "asmparser/AsmInstruction.h"
#include "asmparser/AsmParser.h"
#include "tests/support/CapturedStderr.h"
#include "utils/SourceLine.h"

namespace {

struct Case {
    const char* source;
    const char* message;
    size_t caret;
    size_t extent;
};

void expectOneError(AssemblerRig& rig, const Case& c) {
    SCOPED_TRACE(c.source);
    ASSERT_EQ(rig.assemble(c.source), 1) << rig.errors.toStringDetails();
    const AsmError& error = *rig.errors[0];
    EXPECT_EQ(messageOf(error), std::string("Syntax error: ") + c.message);
    EXPECT_STREQ(error.errorType(), "Asm syntax error");
    EXPECT_EQ(caretOf(error), c.caret);
    EXPECT_EQ(extentOf(error), c.extent);
}

// The error that encoding the instruction throws.
std::shared_ptr<AsmError> encodingError(const SeqAssembler& assembler,
                                        const AsmInstruction& instruction) {
    try {
        assembler.assembleInstruction(instruction);
    } catch (const AsmError& e) {
        return e.shared_ptr_copy();
    }
    ADD_FAILURE() << "encoded without error";
    return nullptr;
}

std::shared_ptr<AsmInstruction> parsed(const std::string& text, int lineNr) {
    AsmParser parser;
    auto statement = parser.parseLine(std::make_shared<const SourceLine>(text, lineNr));
    auto instruction = std::dynamic_pointer_cast<AsmInstruction>(statement);
    EXPECT_TRUE(instruction) << text;
    return instruction;
}

TEST(AssemblerError, MnemonicNotInTheSet) {
    const Case cases[] = {
        {"xyz R1", "instruction 'xyz' not found", 0, 3},
        {"   xyz", "instruction 'xyz' not found", 3, 3},
        {"start: halt 5 # no such thing", "instruction 'halt' not found", 7, 4},
        // Mnemonics are case-sensitive.
        {"NOP", "instruction 'NOP' not found", 0, 3},
        {"Stop", "instruction 'Stop' not found", 0, 4},
        // A first word beginning with a digit is taken as a mnemonic.
        {"9lives", "instruction '9lives' not found", 0, 6},
        // The caret goes to the mnemonic, not to its text inside the label.
        {"xyzzy: xyz", "instruction 'xyz' not found", 7, 3},
        {"lab12: 12 R1", "instruction '12' not found", 7, 2},
    };
    AssemblerRig rig;
    for (const Case& c : cases)
        expectOneError(rig, c);
}

TEST(AssemblerError, SignatureNotDefinedListsTheSupportedOnes) {
    const Case cases[] = {
        // Without operands the caret is the character after the mnemonic.
        {"jmp",
         "Instruction \"jmp\" does not support argument signature \"\"\n"
         "Supported signatures: \"R#\" \"#\"",
         3, 1},
        {"  wait   # count missing",
         "Instruction \"wait\" does not support argument signature \"\"\n"
         "Supported signatures: \"R#\" \"#\"",
         6, 1},
        // One operand: the caret covers that operand.
        {"nop R1",
         "Instruction \"nop\" does not support argument signature \"R#\"\n"
         "Supported signatures: \"\"",
         4, 2},
        {"upd_param R12",
         "Instruction \"upd_param\" does not support argument signature \"R#\"\n"
         "Supported signatures: \"#\"",
         10, 3},
        {"jmp Q5",
         "Instruction \"jmp\" does not support argument signature \"Q#\"\n"
         "Supported signatures: \"R#\" \"#\"",
         4, 2},
        // Registers are upper case: r1 is a register of another letter.
        {"wait_sync r9",
         "Instruction \"wait_sync\" does not support argument signature \"r#\"\n"
         "Supported signatures: \"R#\" \"#\"",
         10, 2},
        // Two or more operands: from the first operand to the end of the line.
        {"add r1, r2, r3",
         "Instruction \"add\" does not support argument signature \"r#,r#,r#\"\n"
         "Supported signatures: \"R#,R#,R#\" \"R#,#,R#\"",
         4, 10},
        {"jge R1, R2, R3",
         "Instruction \"jge\" does not support argument signature \"R#,R#,R#\"\n"
         "Supported signatures: \"R#,#,R#\" \"R#,#,#\"",
         4, 10},
        {"move 1, 2 # two immediates",
         "Instruction \"move\" does not support argument signature \"#,#\"\n"
         "Supported signatures: \"R#,R#\" \"#,R#\"",
         5, 21},
        {"acquire_weighed 0, 0, R1, R2, 4",
         "Instruction \"acquire_weighed\" does not support argument signature \"#,#,R#,R#,#\"\n"
         "Supported signatures: \"#,R#,R#,R#,#\" \"#,#,#,#,#\"",
         16, 15},
        {"stop 1",
         "Instruction \"stop\" does not support argument signature \"#\"\n"
         "Supported signatures: \"\"",
         5, 1},
        // The range starts at the first operand, not at its text inside the
        // label.
        {"l1: loop 1, 2",
         "Instruction \"loop\" does not support argument signature \"#,#\"\n"
         "Supported signatures: \"R#,R#\" \"R#,#\"",
         9, 4},
        {"R1: nop R1",
         "Instruction \"nop\" does not support argument signature \"R#\"\n"
         "Supported signatures: \"\"",
         8, 2},
        // Without operands: after the mnemonic, not after its text in the label.
        {"jmpx: jmp",
         "Instruction \"jmp\" does not support argument signature \"\"\n"
         "Supported signatures: \"R#\" \"#\"",
         9, 1},
        // A symbol operand: the symbol as written.
        {".DEF V 5\nnop $V",
         "Instruction \"nop\" does not support argument signature \"#\"\n"
         "Supported signatures: \"\"",
         4, 2},
    };
    AssemblerRig rig;
    for (const Case& c : cases)
        expectOneError(rig, c);
}

TEST(AssemblerError, SignatureErrorTextPointsAtTheOperands) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble("nop\njge R1, R2, R3\n"), 1);
    EXPECT_EQ(std::string(rig.errors[0]->what()),
              "line 2 column 4: Syntax error: Instruction \"jge\" does not support argument "
              "signature \"R#,R#,R#\"\nSupported signatures: \"R#,#,R#\" \"R#,#,#\": \n"
              "jge R1, R2, R3\n----^^^^^^^^^^\n");
    EXPECT_EQ(rig.errors[0]->lineNr(), 2);
}

// An error about an operand points at that operand as it stands in the
// instruction's line, an error about the mnemonic at the mnemonic, wherever
// else the same text occurs in the line; a symbol or label operand is shown
// with its '$' or '@'.
TEST(AssemblerError, ReportPointsAtTheOperandAsWritten) {
    struct Case {
        std::string source;
        std::string report;
    };
    const std::string nops15 =
        "nop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\nnop\n";
    const Case cases[] = {
        {"jge R1, 4096, 4096",
         "line 1 column 14: Syntax error: Instruction jge argument 3 (ins_adr_imm) value: 4096 "
         "out of range (0,4095): \njge R1, 4096, 4096\n--------------^^^^\n"},
        {"lab12: 12 R1",
         "line 1 column 7: Syntax error: instruction '12' not found: \nlab12: 12 R1\n-------^^\n"},
        {"R1: move 1, r1",
         "line 1 column 9: Syntax error: Instruction \"move\" does not support argument "
         "signature \"#,r#\"\nSupported signatures: \"R#,R#\" \"#,R#\": \nR1: move 1, r1\n"
         "---------^^^^^\n"},
        {".DEF BIG 5000\njmp $BIG",
         "line 2 column 4: Syntax error: Instruction jmp argument 1 (ins_adr_imm) value: 5000 out "
         "of range (0,4095): \njmp $BIG\n----^^^^\n"},
        {"set_mrk @far\n" + nops15 + "far: stop",
         "line 1 column 8: Syntax error: Instruction set_mrk argument 1 (seq_mrk_imm) value: 16 "
         "out of range (0,15): \nset_mrk @far\n--------^^^^\n"},
        {"w: wait @w",
         "line 1 column 8: Syntax error: Instruction wait argument 1 (seq_cnt_imm) value: 0 out "
         "of range (4,65535): \nw: wait @w\n--------^^\n"},
        {".DEF T @w\nw: wait $T",
         "line 2 column 8: Syntax error: Instruction wait argument 1 (seq_cnt_imm) value: 0 out "
         "of range (4,65535): \nw: wait $T\n--------^^\n"},
    };
    AssemblerRig rig;
    for (const Case& c : cases) {
        ASSERT_EQ(rig.assemble(c.source), 1) << c.source << "\n" << rig.errors.toStringDetails();
        EXPECT_EQ(rig.errors[0]->text(), c.report) << c.source;
    }
}

TEST(AssemblerError, RegistersAreWrittenInUpperCase) {
    const struct {
        const char* upper;
        const char* lower;
    } cases[] = {
        {"wait R1", "wait r1"},
        {"move R1, R2", "move r1, R2"},
        {"add R1, R2, R3", "add R1, R2, r3"},
        {"set_ph R1, R2, R3", "set_ph R1, r2, R3"},
    };
    AssemblerRig rig;
    for (const auto& c : cases) {
        EXPECT_EQ(rig.assemble(c.upper), 0) << c.upper << "\n" << rig.errors.toStringDetails();
        EXPECT_EQ(rig.assembler.getProgramSize(), 1u) << c.upper;
        ASSERT_EQ(rig.assemble(c.lower), 1) << c.lower;
        EXPECT_NE(messageOf(*rig.errors[0]).find("does not support argument signature"),
                  std::string::npos)
            << c.lower;
        EXPECT_EQ(rig.assembler.getProgramSize(), 0u) << c.lower;
    }
}

// A disassembled instruction carries no operand kinds: it cannot be encoded
// again.
TEST(AssemblerError, DisassembledInstructionHasNoSignature) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble("jmp 5\nsw_req 0xdeadbeef"), 0);
    const std::string nul(1, '\0');

    AsmInstruction jump;
    ASSERT_TRUE(rig.assembler.disassemble(rig.word(0), 0, jump));
    auto error = encodingError(rig.assembler, jump);
    ASSERT_TRUE(error);
    EXPECT_EQ(messageOf(*error),
              "Syntax error: Could not determine signature type for argument number 1: "
              "registerName=" +
                  nul + " (ASCII=0) argument string value='0x5'");
    // Without a source line there is nothing to point at.
    EXPECT_FALSE(error->hasSource());

    // Given a numbered line, the caret is on the printed operand.
    AsmInstruction request;
    ASSERT_TRUE(rig.assembler.disassemble(rig.word(1), 1, request));
    request.sourceLine = std::make_shared<const SourceLine>(std::string("sw_req 0xdeadbeef"), 7);
    error = encodingError(rig.assembler, request);
    ASSERT_TRUE(error);
    EXPECT_EQ(messageOf(*error),
              "Syntax error: Could not determine signature type for argument number 1: "
              "registerName=" +
                  nul + " (ASCII=0) argument string value='0xdeadbeef'");
    EXPECT_EQ(error->lineNr(), 7);
    EXPECT_EQ(caretOf(*error), 7u);
    EXPECT_EQ(extentOf(*error), 10u);
}

TEST(AssemblerError, OperandOfNoKnownKind) {
    struct Change {
        size_t argument; // from 0
        char registerName;
    };
    const struct {
        const char* line;
        std::vector<Change> changes;
        const char* message;
        size_t caret;
    } cases[] = {
        {"jge R1, 5, 7",
         {{1, '%'}},
         "Could not determine signature type for argument number 2: registerName=% (ASCII=37) "
         "argument string value='5'",
         8},
        {"move 3, R4",
         {{0, '3'}},
         "Could not determine signature type for argument number 1: registerName=3 (ASCII=51) "
         "argument string value='3'",
         5},
        // The code is printed as a signed number.
        {"wait 100",
         {{0, '\xe9'}},
         "Could not determine signature type for argument number 1: registerName=\xe9 "
         "(ASCII=-23) argument string value='100'",
         5},
        // The first operand of no known kind is the one reported.
        {"add R1, R2, R3",
         {{2, '@'}, {1, '$'}},
         "Could not determine signature type for argument number 2: registerName=$ (ASCII=36) "
         "argument string value='R2'",
         8},
        {"add R1, R2, R3",
         {{2, '@'}},
         "Could not determine signature type for argument number 3: registerName=@ (ASCII=64) "
         "argument string value='R3'",
         12},
    };
    AssemblerRig rig;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        auto instruction = parsed(c.line, 3);
        ASSERT_TRUE(instruction);
        for (const Change& change : c.changes) {
            ASSERT_LT(change.argument, instruction->arguments.size());
            instruction->arguments[change.argument]->registerName = change.registerName;
        }
        auto error = encodingError(rig.assembler, *instruction);
        ASSERT_TRUE(error);
        EXPECT_EQ(messageOf(*error), std::string("Syntax error: ") + c.message);
        EXPECT_EQ(error->lineNr(), 3);
        EXPECT_EQ(caretOf(*error), c.caret);
    }
}

TEST(AssemblerError, EncodingErrorsAreLoggedAtDebugLevel) {
    AssemblerRig rig;
    Logging::setLogLevel(7);
    captureStderr();
    rig.assemble("xyz\nnop R1\nwait 3\n");
    const std::string log = capturedStderr();
    Logging::setLogLevel(3);
    EXPECT_NE(log.find("instruction 'xyz' not found"), std::string::npos) << log;
    EXPECT_NE(log.find("Instruction \"nop\" does not support argument signature \"R#\"\n"
                       "Supported signatures: \"\": start=4, len=2"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Instruction wait argument 1 (seq_cnt_imm) value: 3 out of range (4,65535)"),
              std::string::npos)
        << log;
}

TEST(AssemblerError, DebugLogShowsTheWholeErrorOfALineWithANulByte) {
    AssemblerRig rig;
    Logging::setLogLevel(7);
    captureStderr();
    rig.assemble(std::string("nop\nxyz #a\0tail\n", 16));
    const std::string log = capturedStderr();
    Logging::setLogLevel(3);
    ASSERT_EQ(rig.errors.size(), 1u);
    // The logged error is the report's own text, which shows the NUL as \0:
    // the line, past the NUL, and the pointer under "xyz".
    const std::string text = rig.errors[0]->text();
    EXPECT_EQ(text.find('\0'), std::string::npos) << vorel::loggable(text);
    EXPECT_NE(log.find("caught AsmError ('" + text + "')"), std::string::npos) << log;
    EXPECT_NE(log.find("\nxyz #a\\0tail\n^^^\n"), std::string::npos) << log;
}

} // namespace
