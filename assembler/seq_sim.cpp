#include "assembler/seq_sim.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "Logging.h"
#include "seqprocessor/SeqProcessor.h"
#include "utils/StringUtils.h"

seq_sim::seq_sim(SeqProcessor* processor) : SeqSim(processor) {}

seq_sim::~seq_sim() = default;

bool seq_sim::simulate(int maxInstructions, std::string& errorMessage) {
    rt_current = rt_info();
    // clear() keeps the capacity, so a repeated run does not allocate again.
    rt_entries.clear();
    return SeqSim::simulate(maxInstructions, errorMessage);
}

bool seq_sim::processInstruction() {
    // Fetched and decoded once: the classical instructions are tried first on
    // the same definition.
    const uint64_t word = fetchInstruction();
    auto found = decode(word);
    const SeqInstructionDef& def = *found;
    if (executeClassical(def, word) == Classical::executed) {
        return false;
    }
    const std::string& m = def.mnemonic;
    rt_current.name = m.c_str();
    if (rt_current.definition != found) {
        rt_current.definition = std::move(found);
    }

    rt_info& rt = rt_current;
    unsigned cycles = 0;
    if (textIs(m, "sw_req")) {
        cycles = 1;
    } else if (textIs(m, "set_mrk")) {
        rt.marker = getImmediateOrPrefetchedRegisterValue(def, "MRK", "REG0", word);
        cycles = 1;
    } else if (textIs(m, "set_ph")) {
        rt.phase_c = getImmediateOrPrefetchedRegisterValue(def, "PH_COARSE", "REG0", word);
        rt.phase_f = getImmediateOrRegisterValue(def, "PH_FINE", "REG1", word);
        rt.phase_u = getImmediateOrRegisterValue(def, "PH_UFINE", "REG2", word);
        cycles = 3;
    } else if (textIs(m, "set_ph_delta")) {
        rt.phase_delta_c = getImmediateOrPrefetchedRegisterValue(def, "PH_COARSE", "REG0", word);
        rt.phase_delta_f = getImmediateOrRegisterValue(def, "PH_FINE", "REG1", word);
        rt.phase_delta_u = getImmediateOrRegisterValue(def, "PH_UFINE", "REG2", word);
        cycles = 3;
    } else if (textIs(m, "set_awg_gain")) {
        rt.awg_gain0 = getImmediateOrPrefetchedRegisterValue(def, "GAIN0", "REG0", word);
        rt.awg_gain1 = getImmediateOrRegisterValue(def, "GAIN1", "REG1", word);
        cycles = 2;
    } else if (textIs(m, "set_awg_offs")) {
        rt.awg_offs0 = getImmediateOrPrefetchedRegisterValue(def, "OFFS0", "REG0", word);
        rt.awg_offs1 = getImmediateOrRegisterValue(def, "OFFS1", "REG1", word);
        cycles = 2;
    } else if (textIs(m, "upd_param")) {
        rt.update = true;
        update_rt_info(def, word);
        cycles = 1;
    } else if (textIs(m, "play")) {
        rt.wave_idx0 = getImmediateOrPrefetchedRegisterValue(def, "WAVE_IDX0", "REG0", word);
        rt.wave_idx1 = getImmediateOrRegisterValue(def, "WAVE_IDX1", "REG1", word);
        rt.play = true;
        rt.update = true;
        update_rt_info(def, word);
        cycles = 2;
    } else if (textIs(m, "acquire_weighed")) {
        rt.acq_idx = getImmediateValue(def, "ACQ_IDX", word);
        rt.bin_idx = getImmediateOrPrefetchedRegisterValue(def, "BIN_IDX", "REG0", word);
        rt.weight_idx0 = getImmediateOrRegisterValue(def, "WEIGHT_IDX0", "REG1", word);
        rt.weight_idx1 = getImmediateOrRegisterValue(def, "WEIGHT_IDX1", "REG3", word);
        rt.acquire = true;
        rt.update = true;
        update_rt_info(def, word);
        cycles = 3;
    } else if (textIs(m, "acquire")) {
        rt.acq_idx = getImmediateValue(def, "ACQ_IDX", word);
        rt.bin_idx = getImmediateOrPrefetchedRegisterValue(def, "BIN_IDX", "REG0", word);
        rt.weight_idx0 = 0xFFFFFFFFu;
        rt.weight_idx1 = 0xFFFFFFFFu;
        rt.acquire = true;
        rt.update = true;
        update_rt_info(def, word);
        cycles = 2;
    } else if (textIs(m, "wait") || textIs(m, "wait_trigger") || textIs(m, "wait_sync")) {
        // Triggers and synchronisation are not modelled: all three just wait.
        rt.duration =
            static_cast<int32_t>(getImmediateOrPrefetchedRegisterValue(def, "COUNT", "REG0", word));
        appendEntry();
        cycles = 1;
    } else {
        return true;
    }
    pc += 1;
    instructionCount += 1;
    classicalCycles += cycles;
    return false;
}

void seq_sim::appendEntry() {
    rt_entries.push_back(rt_current);
    realtimeCycles += static_cast<uint64_t>(static_cast<int64_t>(rt_current.duration));
    rt_current.start = static_cast<uint32_t>(realtimeCycles);
}

void seq_sim::update_rt_info(const SeqInstructionDef& def, uint64_t word) {
    rt_current.duration = static_cast<int32_t>(getImmediateValue(def, "COUNT", word));
    appendEntry();
    // Flags and phase deltas last for one entry; the other settings persist.
    rt_current.play = false;
    rt_current.acquire = false;
    rt_current.update = false;
    rt_current.phase_delta_u = 0;
    rt_current.phase_delta_f = 0;
    rt_current.phase_delta_c = 0;
}

namespace {

struct Labelled {
    const char* label;
    uint32_t value;
};

// Each value after its label; numbers of the log are printed as signed 32-bit
// decimals.
void appendValues(std::string& text, std::initializer_list<Labelled> values) {
    for (const Labelled& v : values) {
        text += v.label;
        text += std::to_string(static_cast<int32_t>(v.value));
    }
}

} // namespace

std::string seq_sim::rt_log_text(const std::string& prefix) const {
    std::string text = prefix;
    text += "\nSimulation start:";
    for (const rt_info& e : rt_entries) {
        appendValues(text, {{"\n@", e.start}});
        text += "ns ";
        text += vorel::orEmpty(e.name);
        text += " ";
        text += std::to_string(e.duration);
        text += "ns:";
        if (e.play) {
            appendValues(text, {{"\n\twave idx: 0:", e.wave_idx0}, {",1:", e.wave_idx1}});
        }
        if (e.acquire) {
            appendValues(text, {{"\n\tacq idx: ", e.acq_idx}});
            appendValues(text, {{"\n\tbin idx: ", e.bin_idx}});
            appendValues(text, {{"\n\tweight idx: 0:", e.weight_idx0}, {",1:", e.weight_idx1}});
        }
        if (e.update) {
            appendValues(text, {{"\n\tawg_gain: 0:", e.awg_gain0}, {",1:", e.awg_gain1}});
            appendValues(text, {{"\n\tawg_offset: 0:", e.awg_offs0}, {",1:", e.awg_offs1}});
            appendValues(text,
                         {{"\n\tphase: c:", e.phase_c}, {",f:", e.phase_f}, {",u:", e.phase_u}});
            appendValues(text, {{"\n\tphase delta: c:", e.phase_delta_c},
                                {",f:", e.phase_delta_f},
                                {",u:", e.phase_delta_u}});
            appendValues(text, {{"\n\tmarker: ", e.marker}});
        }
        if (!e.play && !e.acquire && !e.update) {
            text.pop_back();
        }
    }
    text += "\nSimulation end";
    return text;
}

void seq_sim::print_rt_log(const std::string& prefix) const {
    if (Logging::getLogLevel() > 5) {
        Logging::write(6, "%s", rt_log_text(prefix).c_str());
    }
}
