; Sweep the AWG gain over four steps; at each step play a waveform,
; acquire into a bin chosen by a register, and wait for the trigger.
.CPU vorel
.DEF STEPS 4
.DEF GAIN_STEP 4096

.CODE
        move    $STEPS, R1          # steps left
        move    0, R2               # current gain
        move    0, R3               # bin index
step:   set_awg_gain R2, R2
        set_mrk 1
        upd_param 4
        play    0, 1, 200
        acquire 0, R3, 400
        wait_trigger 16
        add     R2, $GAIN_STEP, R2
        add     R3, 1, R3
        loop    R1, @step
        stop

.SIM
; Lines of the simulator section are read and dropped by the assembler.
run 1000
.END
