// The simulator of the application layer: a SeqSim that also executes the
// real-time instructions of the Vorel and keeps, as a real-time log, what they
// would issue, with the start and duration of every entry in real-time cycles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SeqSim.h"

class seq_sim : public SeqSim {
public:
    // Real-time settings being gathered, and one entry of the log.
    struct rt_info {
        // Mnemonic of the instruction; its text is kept alive by `definition`,
        // so an entry stays readable after the processor is gone.
        const char* name = nullptr;
        uint32_t wave_idx0 = 0;
        uint32_t wave_idx1 = 0;
        bool play = false;
        uint32_t weight_idx0 = 0;
        uint32_t weight_idx1 = 0;
        uint32_t bin_idx = 0;
        uint32_t acq_idx = 0;
        bool acquire = false;
        uint32_t awg_gain0 = 32767;
        uint32_t awg_gain1 = 32767;
        uint32_t awg_offs0 = 32767;
        uint32_t awg_offs1 = 32767;
        uint32_t phase_u = 0;
        uint32_t phase_f = 0;
        uint32_t phase_c = 0;
        uint32_t phase_delta_u = 0;
        uint32_t phase_delta_f = 0;
        uint32_t phase_delta_c = 0;
        uint32_t marker = 0;
        bool update = false;
        int32_t duration = 0;
        uint32_t start = 0;
        // Owner of the text that `name` points into.
        std::shared_ptr<const SeqInstructionDef> definition;
    };

    explicit seq_sim(SeqProcessor* processor);
    ~seq_sim() override;

    bool simulate(int maxInstructions, std::string& errorMessage) override;
    using SeqSim::simulate;
    bool processInstruction() override;

    // Appends a copy of rt_current with the word's "COUNT" as its duration.
    void update_rt_info(const SeqInstructionDef& def, uint64_t word);
    // Writes the log of the last run as one info line; `prefix` goes before it.
    void print_rt_log(const std::string& prefix) const;
    // The log of the last run; valid until the next run.
    const std::vector<rt_info>& get_rt_log() const { return rt_entries; }
    // The text that print_rt_log writes.
    std::string rt_log_text(const std::string& prefix) const;

    rt_info rt_current;
    std::vector<rt_info> rt_entries;

private:
    // Appends rt_current as it stands and advances the real-time count.
    void appendEntry();
};
