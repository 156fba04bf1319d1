; Gain sweep with a marker: symbols for a count, a gain, a register and a label.
.CPU Vorel
.DEF COUNT 3
.DEF GAIN_LO -2
.DEF CNT R5
.DEF BACK @sweep
        move $COUNT, $CNT           # the loop counter
sweep:  set_awg_gain $GAIN_LO, 0x7fff
        set_mrk 010                 # octal: marker 8
        jmp @skip
        illegal
skip:
        play 1023, 1, 65535
        sub R5, 1, R5
        jge R5, 1, $BACK
.SIM
        lines of the simulator section are not assembled
.CODE
        set_ph R1, R2, R3
        set_awg_offs -32768, 32767
        wait 4
        stop
.END
