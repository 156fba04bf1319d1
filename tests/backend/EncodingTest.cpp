// Every variant of the built-in instruction set assembled with the lowest and
// the highest value of each operand, compared with words built here from the
// bit positions of the instruction word; and every operand range overstepped
// by one at either end.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BackendTestSupport.h"

namespace {

// The fields of the instruction word: lowest bit and width.
enum Field {
    IMM,
    WAVE_IDX0,
    WAVE_IDX1,
    WEIGHT_IDX0,
    WEIGHT_IDX1,
    ACQ_IDX,
    BIN_IDX,
    PH_UFINE,
    PH_FINE,
    PH_COARSE,
    GAIN0,
    GAIN1,
    OFFS0,
    OFFS1,
    MRK,
    REG0,
    REG1,
    REG2,
    REG3,
    INSTR_ADDR,
    COUNT,
    SELECT,
    OPCODE,
};

struct Bits {
    unsigned lsb, width;
};

// clang-format off
const Bits bitsOf[] = {
    /* IMM */         {0, 32},
    /* WAVE_IDX0 */   {0, 10},
    /* WAVE_IDX1 */   {10, 10},
    /* WEIGHT_IDX0 */ {0, 6},
    /* WEIGHT_IDX1 */ {6, 6},
    /* ACQ_IDX */     {12, 6},
    /* BIN_IDX */     {18, 24},
    /* PH_UFINE */    {0, 13},
    /* PH_FINE */     {13, 9},
    /* PH_COARSE */   {22, 9},
    /* GAIN0 */       {0, 16},
    /* GAIN1 */       {16, 16},
    /* OFFS0 */       {0, 16},
    /* OFFS1 */       {16, 16},
    /* MRK */         {0, 4},
    /* REG0 */        {0, 6},
    /* REG1 */        {32, 6},
    /* REG2 */        {38, 6},
    /* REG3 */        {6, 6},
    /* INSTR_ADDR */  {38, 12},
    /* COUNT */       {42, 16},
    /* SELECT */      {58, 1},
    /* OPCODE */      {59, 5},
};
// clang-format on

uint64_t place(Field field, int64_t value) {
    const Bits bits = bitsOf[field];
    const uint64_t mask = (uint64_t(1) << bits.width) - 1;
    return (static_cast<uint64_t>(value) & mask) << bits.lsb;
}

// An operand: the field it is written into, register or immediate, and the
// values it accepts.
struct Operand {
    Field field;
    bool isRegister;
    int64_t min, max;
};

constexpr Operand reg(Field field) {
    return {field, true, 0, 63};
}
constexpr Operand imm(Field field, int64_t min, int64_t max) {
    return {field, false, min, max};
}

// The operands of the built-in set, under their own names.
const Operand alu_dst_reg = reg(REG2);
const Operand alu_src_reg = reg(REG0);
const Operand alu_src_imm = imm(IMM, 0, 4294967295);
const Operand alu_lft_reg = reg(REG1);
const Operand alu_rgt_reg = reg(REG0);
const Operand alu_rgt_imm = imm(IMM, 0, 4294967295);
const Operand ins_adr_imm = imm(INSTR_ADDR, 0, 4095);
const Operand ins_adr_reg = reg(REG2);
const Operand loop_cnt_reg = reg(REG1);
const Operand srq_imm = imm(IMM, 0, 4294967295);
const Operand srq_reg = reg(REG0);
const Operand seq_wave_idx0_imm = imm(WAVE_IDX0, 0, 1023);
const Operand seq_wave_idx1_imm = imm(WAVE_IDX1, 0, 1023);
const Operand seq_wave_idx0_reg = reg(REG0);
const Operand seq_wave_idx1_reg = reg(REG1);
const Operand seq_weight_idx0_imm = imm(WEIGHT_IDX0, 0, 63);
const Operand seq_weight_idx1_imm = imm(WEIGHT_IDX1, 0, 63);
const Operand seq_weight_idx0_reg = reg(REG1);
const Operand seq_weight_idx1_reg = reg(REG3);
const Operand seq_acq_idx_imm = imm(ACQ_IDX, 0, 63);
const Operand seq_bin_idx_imm = imm(BIN_IDX, 0, 16777215);
const Operand seq_bin_idx_reg = reg(REG0);
const Operand seq_ph_ufine_imm = imm(PH_UFINE, 0, 8191);
const Operand seq_ph_fine_imm = imm(PH_FINE, 0, 511);
const Operand seq_ph_coarse_imm = imm(PH_COARSE, 0, 511);
const Operand seq_ph_coarse_reg = reg(REG0);
const Operand seq_ph_fine_reg = reg(REG1);
const Operand seq_ph_ufine_reg = reg(REG2);
const Operand seq_gain0_imm = imm(GAIN0, -32768, 32767);
const Operand seq_gain1_imm = imm(GAIN1, -32768, 32767);
const Operand seq_gain0_reg = reg(REG0);
const Operand seq_gain1_reg = reg(REG1);
const Operand seq_offs0_imm = imm(OFFS0, -32768, 32767);
const Operand seq_offs1_imm = imm(OFFS1, -32768, 32767);
const Operand seq_offs0_reg = reg(REG0);
const Operand seq_offs1_reg = reg(REG1);
const Operand seq_mrk_imm = imm(MRK, 0, 15);
const Operand seq_mrk_reg = reg(REG0);
const Operand seq_cnt_imm = imm(COUNT, 4, 65535);
const Operand seq_cnt_reg = reg(REG0);

struct Variant {
    const char* mnemonic;
    unsigned opcode;
    unsigned select;
    std::vector<Operand> operands;

    std::string signature() const {
        std::string text;
        for (const Operand& operand : operands) {
            if (!text.empty())
                text += ",";
            text += operand.isRegister ? "R#" : "#";
        }
        return text;
    }

    // The source line with every operand at its lowest or highest value.
    std::string line(bool highest) const {
        std::string text = mnemonic;
        const char* separator = " ";
        for (const Operand& operand : operands) {
            const int64_t value = highest ? operand.max : operand.min;
            text += separator;
            text += (operand.isRegister ? "R" : "") + std::to_string(value);
            separator = ", ";
        }
        return text;
    }

    uint64_t word(bool highest) const {
        uint64_t word = place(OPCODE, opcode) | place(SELECT, select);
        for (const Operand& operand : operands)
            word |= place(operand.field, highest ? operand.max : operand.min);
        return word;
    }
};

// In the order in which the built-in set adds them.
// clang-format off
const std::vector<Variant> variants = {
    {"illegal", 0, 0, {}},
    {"stop", 1, 0, {}},
    {"nop", 2, 0, {}},
    {"jmp", 3, 1, {ins_adr_imm}},
    {"jmp", 3, 0, {ins_adr_reg}},
    {"jge", 4, 1, {alu_lft_reg, alu_rgt_imm, ins_adr_imm}},
    {"jge", 4, 0, {alu_lft_reg, alu_rgt_imm, ins_adr_reg}},
    {"jlt", 5, 1, {alu_lft_reg, alu_rgt_imm, ins_adr_imm}},
    {"jlt", 5, 0, {alu_lft_reg, alu_rgt_imm, ins_adr_reg}},
    {"loop", 6, 1, {loop_cnt_reg, ins_adr_imm}},
    {"loop", 6, 0, {loop_cnt_reg, ins_adr_reg}},
    {"move", 7, 1, {alu_src_imm, alu_dst_reg}},
    {"move", 7, 0, {alu_src_reg, alu_dst_reg}},
    {"not", 10, 1, {alu_src_imm, alu_dst_reg}},
    {"not", 10, 0, {alu_src_reg, alu_dst_reg}},
    {"add", 8, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"add", 8, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"sub", 9, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"sub", 9, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"and", 11, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"and", 11, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"or", 12, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"or", 12, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"xor", 13, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"xor", 13, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"asl", 14, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"asl", 14, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"asr", 15, 1, {alu_lft_reg, alu_rgt_imm, alu_dst_reg}},
    {"asr", 15, 0, {alu_lft_reg, alu_rgt_reg, alu_dst_reg}},
    {"sw_req", 16, 1, {srq_imm}},
    {"sw_req", 16, 0, {srq_reg}},
    {"set_mrk", 17, 1, {seq_mrk_imm}},
    {"set_mrk", 17, 0, {seq_mrk_reg}},
    {"set_ph", 18, 1, {seq_ph_coarse_imm, seq_ph_fine_imm, seq_ph_ufine_imm}},
    {"set_ph", 18, 0, {seq_ph_coarse_reg, seq_ph_fine_reg, seq_ph_ufine_reg}},
    {"set_ph_delta", 19, 1, {seq_ph_coarse_imm, seq_ph_fine_imm, seq_ph_ufine_imm}},
    {"set_ph_delta", 19, 0, {seq_ph_coarse_reg, seq_ph_fine_reg, seq_ph_ufine_reg}},
    {"set_awg_gain", 20, 1, {seq_gain0_imm, seq_gain1_imm}},
    {"set_awg_gain", 20, 0, {seq_gain0_reg, seq_gain1_reg}},
    {"set_awg_offs", 21, 1, {seq_offs0_imm, seq_offs1_imm}},
    {"set_awg_offs", 21, 0, {seq_offs0_reg, seq_offs1_reg}},
    {"upd_param", 22, 1, {seq_cnt_imm}},
    {"play", 23, 1, {seq_wave_idx0_imm, seq_wave_idx1_imm, seq_cnt_imm}},
    {"play", 23, 0, {seq_wave_idx0_reg, seq_wave_idx1_reg, seq_cnt_imm}},
    {"acquire_weighed", 25, 1, {seq_acq_idx_imm, seq_bin_idx_imm, seq_weight_idx0_imm,
                                seq_weight_idx1_imm, seq_cnt_imm}},
    {"acquire_weighed", 25, 0, {seq_acq_idx_imm, seq_bin_idx_reg, seq_weight_idx0_reg,
                                seq_weight_idx1_reg, seq_cnt_imm}},
    {"acquire", 24, 1, {seq_acq_idx_imm, seq_bin_idx_imm, seq_cnt_imm}},
    {"acquire", 24, 0, {seq_acq_idx_imm, seq_bin_idx_reg, seq_cnt_imm}},
    {"wait", 26, 1, {seq_cnt_imm}},
    {"wait", 26, 0, {seq_cnt_reg}},
    {"wait_trigger", 27, 1, {seq_cnt_imm}},
    {"wait_trigger", 27, 0, {seq_cnt_reg}},
    {"wait_sync", 28, 1, {seq_cnt_imm}},
    {"wait_sync", 28, 0, {seq_cnt_reg}},
};
// clang-format on

TEST(Encoding, EveryVariantAtTheLowestAndHighestOperandValues) {
    AssemblerRig rig;
    for (const Variant& variant : variants) {
        for (const bool highest : {false, true}) {
            const std::string line = variant.line(highest);
            SCOPED_TRACE(line);
            ASSERT_EQ(rig.assemble(line), 0) << rig.errors.toStringDetails();
            ASSERT_EQ(rig.assembler.getProgramSize(), 1u);
            EXPECT_EQ(rig.word(0), variant.word(highest))
                << std::hex << "got 0x" << rig.word(0) << ", expected 0x" << variant.word(highest);
        }
    }
}

TEST(Encoding, TheTableHoldsEveryVariantOfTheSetOnce) {
    std::set<std::pair<std::string, std::string>> listed;
    for (const Variant& variant : variants)
        EXPECT_TRUE(listed.emplace(variant.mnemonic, variant.signature()).second)
            << variant.mnemonic << " " << variant.signature() << " listed twice";
    EXPECT_EQ(variants.size(), 54u);

    AssemblerRig rig;
    size_t inSet = 0;
    forEachDefinition(rig.processor.instructionSet, [&](const SeqInstructionDef& def) {
        ++inSet;
        EXPECT_EQ(listed.count({def.mnemonic, def.signature.text}), 1u)
            << def.mnemonic << " \"" << def.signature.text << "\" is not in the table";
    });
    EXPECT_EQ(inSet, variants.size());
}

// A few words worked out by hand, so that the word builder above is checked
// too: opcode in bits 63-59, select in bit 58.
TEST(Encoding, WordsWorkedOutByHand) {
    struct Case {
        const char* line;
        uint64_t word;
    };
    const Case cases[] = {
        {"illegal", 0x0000000000000000},
        {"stop", 0x0800000000000000},
        {"jmp 4095", 0x1C03FFC000000000},
        {"jmp R63", 0x18000FC000000000},
        {"move 0xffffffff, R63", 0x3C000FC0FFFFFFFF},
        {"add R1, R2, R3", 0x400000C100000002},
        {"set_awg_gain -1, -32768", 0xA40000008000FFFF},
        {"set_awg_offs -32768, -1", 0xAC000000FFFF8000},
        {"play 1023, 1023, 65535", 0xBFFFFC00000FFFFF},
        {"wait_sync 4", 0xE400100000000000},
        {"acquire_weighed 63, 16777215, 63, 63, 65535", 0xCFFFFFFFFFFFFFFF},
    };
    AssemblerRig rig;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(rig.assemble(c.line), 0) << rig.errors.toStringDetails();
        EXPECT_EQ(rig.word(0), c.word) << std::hex << "got 0x" << rig.word(0);
    }
}

// Each row oversteps one operand range by one; the caret column is where the
// operand's text first occurs in the line.
TEST(Encoding, ValuesOutsideTheOperandRange) {
    struct Case {
        const char* line;
        const char* mnemonic;
        int k;
        const char* name;
        int64_t value, min, max;
        size_t caret;
    };
    const int64_t int64Max = std::numeric_limits<int64_t>::max();
    const Case cases[] = {
        {"move R-1, R0", "move", 1, "alu_src_reg", -1, 0, 63, 5},
        {"move R0, R64", "move", 2, "alu_dst_reg", 64, 0, 63, 9},
        {"move -1, R0", "move", 1, "alu_src_imm", -1, 0, 4294967295, 5},
        {"add R0, 4294967296, R0", "add", 2, "alu_rgt_imm", 4294967296, 0, 4294967295, 8},
        {"jge R1, 0x100000000, 7", "jge", 2, "alu_rgt_imm", 4294967296, 0, 4294967295, 8},
        {"jmp -1", "jmp", 1, "ins_adr_imm", -1, 0, 4095, 4},
        {"jmp 4096", "jmp", 1, "ins_adr_imm", 4096, 0, 4095, 4},
        {"loop R2, 4096", "loop", 2, "ins_adr_imm", 4096, 0, 4095, 9},
        {"play -1, 0, 4", "play", 1, "seq_wave_idx0_imm", -1, 0, 1023, 5},
        {"play 0, 1024, 4", "play", 2, "seq_wave_idx1_imm", 1024, 0, 1023, 8},
        {"acquire_weighed 0, 0, -1, 0, 4", "acquire_weighed", 3, "seq_weight_idx0_imm", -1, 0, 63,
         22},
        {"acquire_weighed 0, 0, 0, 64, 4", "acquire_weighed", 4, "seq_weight_idx1_imm", 64, 0, 63,
         25},
        {"acquire 64, 0, 4", "acquire", 1, "seq_acq_idx_imm", 64, 0, 63, 8},
        {"acquire 0, -1, 4", "acquire", 2, "seq_bin_idx_imm", -1, 0, 16777215, 11},
        {"acquire 0, 16777216, 4", "acquire", 2, "seq_bin_idx_imm", 16777216, 0, 16777215, 11},
        {"set_ph 0, 0, -1", "set_ph", 3, "seq_ph_ufine_imm", -1, 0, 8191, 13},
        {"set_ph 0, 0, 8192", "set_ph", 3, "seq_ph_ufine_imm", 8192, 0, 8191, 13},
        {"set_ph 0, -1, 0", "set_ph", 2, "seq_ph_fine_imm", -1, 0, 511, 10},
        {"set_ph_delta 512, 0, 0", "set_ph_delta", 1, "seq_ph_coarse_imm", 512, 0, 511, 13},
        {"set_awg_gain -32769, 0", "set_awg_gain", 1, "seq_gain0_imm", -32769, -32768, 32767, 13},
        {"set_awg_gain 0, 32768", "set_awg_gain", 2, "seq_gain1_imm", 32768, -32768, 32767, 16},
        {"set_awg_offs 32768, 0", "set_awg_offs", 1, "seq_offs0_imm", 32768, -32768, 32767, 13},
        {"set_awg_offs 0, -32769", "set_awg_offs", 2, "seq_offs1_imm", -32769, -32768, 32767, 16},
        {"set_mrk -1", "set_mrk", 1, "seq_mrk_imm", -1, 0, 15, 8},
        {"set_mrk 16", "set_mrk", 1, "seq_mrk_imm", 16, 0, 15, 8},
        {"wait 3", "wait", 1, "seq_cnt_imm", 3, 4, 65535, 5},
        {"upd_param 0x10000", "upd_param", 1, "seq_cnt_imm", 65536, 4, 65535, 10},
        {"  here: wait_trigger 65536", "wait_trigger", 1, "seq_cnt_imm", 65536, 4, 65535, 21},
        {"play R0, R1, 3", "play", 3, "seq_cnt_imm", 3, 4, 65535, 13},
        {"wait_sync R64", "wait_sync", 1, "seq_cnt_reg", 64, 0, 63, 10},
        // The third operand is the faulty one, although its text first occurs
        // as the first operand.
        {"play 1, 1, 1", "play", 3, "seq_cnt_imm", 1, 4, 65535, 11},
        // Beyond the 64-bit range the value saturates before the range check.
        {"wait 99999999999999999999", "wait", 1, "seq_cnt_imm", int64Max, 4, 65535, 5},
        // A symbol operand: the caret is on the symbol as written in this
        // line, not on its value's text.
        {".DEF BIG 70000\nwait $BIG", "wait", 1, "seq_cnt_imm", 70000, 4, 65535, 5},
        {".DEF ONE 1\nplay 1, 1, $ONE", "play", 3, "seq_cnt_imm", 1, 4, 65535, 11},
    };
    AssemblerRig rig;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(rig.assemble(c.line), 1) << rig.errors.toStringDetails();
        const AsmError& error = *rig.errors[0];
        EXPECT_EQ(messageOf(error), "Syntax error: Instruction " + std::string(c.mnemonic) +
                                        " argument " + std::to_string(c.k) + " (" + c.name +
                                        ") value: " + std::to_string(c.value) + " out of range (" +
                                        std::to_string(c.min) + "," + std::to_string(c.max) + ")");
        EXPECT_STREQ(error.errorType(), "Asm syntax error");
        EXPECT_EQ(caretOf(error), c.caret);
        EXPECT_EQ(rig.assembler.getProgramSize(), 0u);
    }
}

TEST(Encoding, OutOfRangeErrorPointsIntoItsLine) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble("nop\n  set_mrk 16\n"), 1);
    EXPECT_EQ(std::string(rig.errors[0]->what()),
              "line 2 column 10: Syntax error: Instruction set_mrk argument 1 (seq_mrk_imm) "
              "value: 16 out of range (0,15): \n  set_mrk 16\n----------^^\n");
    EXPECT_EQ(rig.errors[0]->lineNr(), 2);
}

} // namespace
