        wait 3
        wait 65536
        set_awg_gain -32769, 0
        set_awg_gain 0, 32768
        jmp 4096
        move R64, R1
        move R-1, R1
.DEF SHORT 3
        wait $SHORT
