// The built-in Vorel instruction set, held against its tables: every field,
// every argument's accepted range, and every variant found again by mnemonic
// and signature, by opcode and select, and from an encoded word.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/seq_instr_set.h"

class BuiltinSetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { set = new SeqInstructionSet(seq_instr_set()); }
    static void TearDownTestSuite() {
        delete set;
        set = nullptr;
    }
    static SeqInstructionSet* set;
};
SeqInstructionSet* BuiltinSetTest::set = nullptr;

TEST_F(BuiltinSetTest, VersionAndBaseFields) {
    unsigned short major = 9, minor = 9;
    set->getVersion(major, minor);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(set->opcodeField->name, "OPCODE");
    EXPECT_EQ(set->selectField->name, "SELECT");
    EXPECT_EQ(set->count, 29u);
    EXPECT_EQ(set->argumentTable.count, 40u);
    EXPECT_EQ(set->argumentTable.fields.count, 23u);
    EXPECT_NO_THROW(set->validate());
}

TEST_F(BuiltinSetTest, Fields) {
    struct Row {
        uint32_t id;
        const char* name;
        uint32_t msb, lsb;
    };
    const Row rows[] = {
        {0, "IMM", 31, 0},        {1, "WAVE_IDX0", 9, 0},     {2, "WAVE_IDX1", 19, 10},
        {3, "WEIGHT_IDX0", 5, 0}, {4, "WEIGHT_IDX1", 11, 6},  {5, "ACQ_IDX", 17, 12},
        {6, "BIN_IDX", 41, 18},   {7, "PH_UFINE", 12, 0},     {8, "PH_FINE", 21, 13},
        {9, "PH_COARSE", 30, 22}, {10, "GAIN0", 15, 0},       {11, "GAIN1", 31, 16},
        {12, "OFFS0", 15, 0},     {13, "OFFS1", 31, 16},      {14, "MRK", 3, 0},
        {15, "REG0", 5, 0},       {16, "REG1", 37, 32},       {17, "REG2", 43, 38},
        {18, "REG3", 11, 6},      {19, "INSTR_ADDR", 49, 38}, {20, "COUNT", 57, 42},
        {21, "SELECT", 58, 58},   {22, "OPCODE", 63, 59},
    };
    for (const Row& row : rows) {
        auto field = set->argumentTable.fields.findById(row.id);
        ASSERT_TRUE(field) << row.id;
        EXPECT_EQ(field->name, row.name);
        EXPECT_EQ(field->lsb, row.lsb) << row.name;
        const uint64_t mask = (uint64_t(1) << (row.msb - row.lsb + 1)) - 1;
        EXPECT_EQ(field->mask, mask) << row.name;
        EXPECT_EQ(field->shiftedMask, mask << row.lsb) << row.name;
    }
}

TEST_F(BuiltinSetTest, ArgumentsAndTheirAcceptedRanges) {
    struct Row {
        uint32_t id;
        const char* name;
        const char* prefix;
        const char* field;
        int64_t min, max;
    };
    const Row rows[] = {
        {0, "alu_dst_reg", "R", "REG2", 0, 63},
        {1, "alu_src_reg", "R", "REG0", 0, 63},
        {2, "alu_src_imm", "", "IMM", 0, 4294967295},
        {3, "alu_lft_reg", "R", "REG1", 0, 63},
        {4, "alu_rgt_reg", "R", "REG0", 0, 63},
        {5, "alu_rgt_imm", "", "IMM", 0, 4294967295},
        {6, "ins_adr_imm", "", "INSTR_ADDR", 0, 4095},
        {7, "ins_adr_reg", "R", "REG2", 0, 63},
        {8, "loop_cnt_reg", "R", "REG1", 0, 63},
        {9, "srq_imm", "", "IMM", 0, 4294967295},
        {10, "srq_reg", "R", "REG0", 0, 63},
        {11, "seq_wave_idx0_imm", "", "WAVE_IDX0", 0, 1023},
        {12, "seq_wave_idx1_imm", "", "WAVE_IDX1", 0, 1023},
        {13, "seq_wave_idx0_reg", "R", "REG0", 0, 63},
        {14, "seq_wave_idx1_reg", "R", "REG1", 0, 63},
        {15, "seq_weight_idx0_imm", "", "WEIGHT_IDX0", 0, 63},
        {16, "seq_weight_idx1_imm", "", "WEIGHT_IDX1", 0, 63},
        {17, "seq_weight_idx0_reg", "R", "REG1", 0, 63},
        {18, "seq_weight_idx1_reg", "R", "REG3", 0, 63},
        {19, "seq_acq_idx_imm", "", "ACQ_IDX", 0, 63},
        {20, "seq_bin_idx_imm", "", "BIN_IDX", 0, 16777215},
        {21, "seq_bin_idx_reg", "R", "REG0", 0, 63},
        {22, "seq_ph_ufine_imm", "", "PH_UFINE", 0, 8191},
        {23, "seq_ph_fine_imm", "", "PH_FINE", 0, 511},
        {24, "seq_ph_coarse_imm", "", "PH_COARSE", 0, 511},
        {25, "seq_ph_coarse_reg", "R", "REG0", 0, 63},
        {26, "seq_ph_fine_reg", "R", "REG1", 0, 63},
        {27, "seq_ph_ufine_reg", "R", "REG2", 0, 63},
        {28, "seq_gain0_imm", "", "GAIN0", -32768, 32767},
        {29, "seq_gain1_imm", "", "GAIN1", -32768, 32767},
        {30, "seq_gain0_reg", "R", "REG0", 0, 63},
        {31, "seq_gain1_reg", "R", "REG1", 0, 63},
        {32, "seq_offs0_imm", "", "OFFS0", -32768, 32767},
        {33, "seq_offs1_imm", "", "OFFS1", -32768, 32767},
        {34, "seq_offs0_reg", "R", "REG0", 0, 63},
        {35, "seq_offs1_reg", "R", "REG1", 0, 63},
        {36, "seq_mrk_imm", "", "MRK", 0, 15},
        {37, "seq_mrk_reg", "R", "REG0", 0, 63},
        {38, "seq_cnt_imm", "", "COUNT", 4, 65535},
        {39, "seq_cnt_reg", "R", "REG0", 0, 63},
    };
    for (const Row& row : rows) {
        auto argument = set->argumentTable.findById(row.id);
        ASSERT_TRUE(argument) << row.id;
        EXPECT_EQ(argument->name, row.name);
        EXPECT_EQ(argument->registerPrefix, row.prefix) << row.name;
        EXPECT_EQ(argument->field->name, row.field) << row.name;
        EXPECT_EQ(argument->min, row.min) << row.name;
        EXPECT_EQ(argument->max, row.max) << row.name;
        EXPECT_EQ(set->argumentTable.findByName(row.name), argument);
    }
}

struct VariantRow {
    unsigned opcode;
    const char* mnemonic;
    unsigned select;
    const char* signature;
    std::vector<const char*> arguments;
};

// In the order in which the variants are added.
static const std::vector<VariantRow> variantRows = {
    {0, "illegal", 0, "", {}},
    {1, "stop", 0, "", {}},
    {2, "nop", 0, "", {}},
    {3, "jmp", 1, "#", {"ins_adr_imm"}},
    {3, "jmp", 0, "R#", {"ins_adr_reg"}},
    {4, "jge", 1, "R#,#,#", {"alu_lft_reg", "alu_rgt_imm", "ins_adr_imm"}},
    {4, "jge", 0, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "ins_adr_reg"}},
    {5, "jlt", 1, "R#,#,#", {"alu_lft_reg", "alu_rgt_imm", "ins_adr_imm"}},
    {5, "jlt", 0, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "ins_adr_reg"}},
    {6, "loop", 1, "R#,#", {"loop_cnt_reg", "ins_adr_imm"}},
    {6, "loop", 0, "R#,R#", {"loop_cnt_reg", "ins_adr_reg"}},
    {7, "move", 1, "#,R#", {"alu_src_imm", "alu_dst_reg"}},
    {7, "move", 0, "R#,R#", {"alu_src_reg", "alu_dst_reg"}},
    {10, "not", 1, "#,R#", {"alu_src_imm", "alu_dst_reg"}},
    {10, "not", 0, "R#,R#", {"alu_src_reg", "alu_dst_reg"}},
    {8, "add", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {8, "add", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {9, "sub", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {9, "sub", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {11, "and", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {11, "and", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {12, "or", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {12, "or", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {13, "xor", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {13, "xor", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {14, "asl", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {14, "asl", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {15, "asr", 1, "R#,#,R#", {"alu_lft_reg", "alu_rgt_imm", "alu_dst_reg"}},
    {15, "asr", 0, "R#,R#,R#", {"alu_lft_reg", "alu_rgt_reg", "alu_dst_reg"}},
    {16, "sw_req", 1, "#", {"srq_imm"}},
    {16, "sw_req", 0, "R#", {"srq_reg"}},
    {17, "set_mrk", 1, "#", {"seq_mrk_imm"}},
    {17, "set_mrk", 0, "R#", {"seq_mrk_reg"}},
    {18, "set_ph", 1, "#,#,#", {"seq_ph_coarse_imm", "seq_ph_fine_imm", "seq_ph_ufine_imm"}},
    {18, "set_ph", 0, "R#,R#,R#", {"seq_ph_coarse_reg", "seq_ph_fine_reg", "seq_ph_ufine_reg"}},
    {19, "set_ph_delta", 1, "#,#,#", {"seq_ph_coarse_imm", "seq_ph_fine_imm", "seq_ph_ufine_imm"}},
    {19,
     "set_ph_delta",
     0,
     "R#,R#,R#",
     {"seq_ph_coarse_reg", "seq_ph_fine_reg", "seq_ph_ufine_reg"}},
    {20, "set_awg_gain", 1, "#,#", {"seq_gain0_imm", "seq_gain1_imm"}},
    {20, "set_awg_gain", 0, "R#,R#", {"seq_gain0_reg", "seq_gain1_reg"}},
    {21, "set_awg_offs", 1, "#,#", {"seq_offs0_imm", "seq_offs1_imm"}},
    {21, "set_awg_offs", 0, "R#,R#", {"seq_offs0_reg", "seq_offs1_reg"}},
    {22, "upd_param", 1, "#", {"seq_cnt_imm"}},
    {23, "play", 1, "#,#,#", {"seq_wave_idx0_imm", "seq_wave_idx1_imm", "seq_cnt_imm"}},
    {23, "play", 0, "R#,R#,#", {"seq_wave_idx0_reg", "seq_wave_idx1_reg", "seq_cnt_imm"}},
    {25,
     "acquire_weighed",
     1,
     "#,#,#,#,#",
     {"seq_acq_idx_imm", "seq_bin_idx_imm", "seq_weight_idx0_imm", "seq_weight_idx1_imm",
      "seq_cnt_imm"}},
    {25,
     "acquire_weighed",
     0,
     "#,R#,R#,R#,#",
     {"seq_acq_idx_imm", "seq_bin_idx_reg", "seq_weight_idx0_reg", "seq_weight_idx1_reg",
      "seq_cnt_imm"}},
    {24, "acquire", 1, "#,#,#", {"seq_acq_idx_imm", "seq_bin_idx_imm", "seq_cnt_imm"}},
    {24, "acquire", 0, "#,R#,#", {"seq_acq_idx_imm", "seq_bin_idx_reg", "seq_cnt_imm"}},
    {26, "wait", 1, "#", {"seq_cnt_imm"}},
    {26, "wait", 0, "R#", {"seq_cnt_reg"}},
    {27, "wait_trigger", 1, "#", {"seq_cnt_imm"}},
    {27, "wait_trigger", 0, "R#", {"seq_cnt_reg"}},
    {28, "wait_sync", 1, "#", {"seq_cnt_imm"}},
    {28, "wait_sync", 0, "R#", {"seq_cnt_reg"}},
};

TEST_F(BuiltinSetTest, EveryVariantFoundByNameByNumberAndFromItsWord) {
    ASSERT_EQ(variantRows.size(), 54u);
    size_t variants = 0;
    for (const auto& group : set->byId) {
        variants += group ? group->count : 0;
    }
    EXPECT_EQ(variants, 54u);

    for (const VariantRow& row : variantRows) {
        SCOPED_TRACE(std::string(row.mnemonic) + " " + row.signature);
        auto def = set->find(row.mnemonic, row.signature);
        ASSERT_TRUE(def);
        EXPECT_EQ(def->opcode, row.opcode);
        EXPECT_EQ(def->select, row.select);
        EXPECT_EQ(def->signature.text, row.signature);
        ASSERT_EQ(def->arguments.size(), row.arguments.size());
        for (size_t i = 0; i < row.arguments.size(); ++i) {
            EXPECT_EQ(def->arguments[i]->name, row.arguments[i]);
            EXPECT_TRUE(def->fields.findByName(def->arguments[i]->field->name));
        }
        EXPECT_EQ(set->find(row.opcode, row.select), def);

        // Argument bits all set: decoding looks only at the opcode and select fields.
        unsigned long long word = ~0ull;
        ASSERT_TRUE(set->writeOpcodeField(word, row.opcode));
        ASSERT_TRUE(set->writeSelectField(word, row.select));
        EXPECT_EQ(word >> 59, row.opcode);
        EXPECT_EQ((word >> 58) & 1, row.select);
        EXPECT_EQ(word & ((1ull << 58) - 1), (1ull << 58) - 1);
        EXPECT_EQ(set->findForBinary(word), def);
    }
}

TEST_F(BuiltinSetTest, WordsWithoutAVariant) {
    EXPECT_EQ(set->findForBinary(0)->mnemonic, "illegal");
    for (unsigned long long opcode : {29ull, 30ull, 31ull}) {
        EXPECT_FALSE(set->findForBinary(opcode << 59));
        EXPECT_FALSE(set->findForBinary(opcode << 59 | 1ull << 58));
    }
    EXPECT_FALSE(set->findForBinary(22ull << 59));
    EXPECT_FALSE(set->find(22, 0));
    EXPECT_FALSE(set->find("jge", "R#,R#,R#"));
    EXPECT_FALSE(set->find("JGE", "R#,#,R#"));
    EXPECT_EQ(set->find("jge", "R#,#,R#")->select, 0u);
}

TEST_F(BuiltinSetTest, ListingIsInOpcodeAndSelectOrder) {
    std::ostringstream os;
    os << *set;
    std::istringstream lines(os.str());
    std::string line;
    std::vector<std::string> listed;
    while (std::getline(lines, line)) {
        listed.push_back(line);
    }
    ASSERT_EQ(listed.size(), 54u);
    EXPECT_EQ(listed[0], "illegal");
    EXPECT_EQ(listed[3], "jmp ins_adr_reg(R#)");
    EXPECT_EQ(listed[14], "add alu_lft_reg(R#), alu_rgt_imm(#), alu_dst_reg(R#)");
    EXPECT_EQ(listed[53], "wait_sync seq_cnt_imm(#)");
}

TEST_F(BuiltinSetTest, CopiesShareTheTables) {
    SeqInstructionSet copy(*set);
    EXPECT_EQ(copy.find("wait", "#"), set->find("wait", "#"));
    EXPECT_EQ(copy.argumentTable.findById(38), set->argumentTable.findById(38));
}
